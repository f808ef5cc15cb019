#include "archive/ArchiveFormats.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "archive/EArchiveError.h"

bool FormatIdForExtension(const std::string& ext, TGUID& id)
{
    std::string lower = ext;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == ".zip")
        id = CLSID_FormatZip;
    else if (lower == ".rar")
        id = CLSID_FormatRar;
    else if (lower == ".7z")
        id = CLSID_Format7z;
    else
        return false;
    return true;
}

std::string ResultCodeText(THResult code)
{
    const auto u = static_cast<uint32_t>(code);
    const char* text = nullptr;
    switch (u) {
    case 0x00000000u: text = "No error"; break;
    case 0x00000001u: text = "The file is not an archive of the expected format, or it is damaged"; break;
    case 0x80004001u: text = "Not implemented"; break;
    case 0x80004002u: text = "No such interface supported"; break;
    case 0x80004003u: text = "Invalid pointer"; break;
    case 0x80004004u: text = "Operation aborted"; break;
    case 0x80004005u: text = "Unspecified error"; break;
    case 0x8000FFFFu: text = "Catastrophic failure"; break;
    case 0x80030001u: text = "Unable to perform the requested operation"; break;
    case 0x80040111u: text = "The archive format is not available in the library"; break;
    case 0x8007000Eu: text = "Not enough memory"; break;
    case 0x80070057u: text = "The parameter is incorrect"; break;
    default: break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", u);
    if (text)
        return std::string(text) + " (" + hex + ")";
    // Wrapped system errors: on this platform the library puts errno in the low word.
    if ((u & 0xFFFF0000u) == 0x80070000u && (u & 0xFFFFu) != 0)
        return std::string(std::strerror(static_cast<int>(u & 0xFFFFu))) + " (" + hex + ")";
    if (code < 0)
        return std::string("Error ") + hex;
    return std::string("Unexpected answer ") + hex;
}

void CheckResult(THResult code)
{
    if (code != kS_OK)
        throw EArchiveError(ResultCodeText(code));
}
