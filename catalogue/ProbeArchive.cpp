#include "catalogue/ProbeArchive.h"

#include "shell/LangTexts.h"
#include "shell/ShellState.h"
#include "archive/ArchiveBinding.h"
#include "archive/ItemPathCheck.h"
#include "archive/WideText.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TPathResolver.h"

#include <QString>

namespace {
// The usual item path (ASCII, '/' between non-empty parts, none of them "." or "..") is
// already what the extraction writes: appended as it is. Anything else takes the general way.
bool AppendPlainPath(const wchar_t* p, std::string& out)
{
    if (!p || *p == L'/')
        return false;
    std::size_t partStart = 0, i = 0;
    for (;; ++i) {
        const wchar_t c = p[i];
        if (c == 0 || c == L'/') {
            const std::size_t len = i - partStart;
            if (len == 0 || (len == 1 && p[partStart] == L'.') ||
                (len == 2 && p[partStart] == L'.' && p[partStart + 1] == L'.'))
                return false;
            if (c == 0)
                return true;
            partStart = i + 1;
        } else if (c < 0x20 || c >= 0x7F || c == L'\\' || c == L':') {
            return false;
        }
        out += static_cast<char>(c);
    }
}

// An item that continues in a part of a volume set that is missing, or began in one before
// the part opened: the archive cannot be installed whole from here.
bool HasSplitItem(I7zReader& reader, uint32_t count)
{
    TComPtr<IInArchive> archive = reader.LibraryArchive();
    for (uint32_t i = 0; i < count; ++i) {
        for (TPropId id : {kpidSplitBefore, kpidSplitAfter}) {
            TPropVariant v;
            archive->GetProperty(i, id, &v);
            const bool split = v.vt == kVT_BOOL && v.boolVal != 0;
            ClearPropVariant(v);
            if (split)
                return true;
        }
    }
    return false;
}

// The names and sizes are read from the headers the open has already parsed: no data is
// unpacked. Three property reads per item, straight from the library's archive object, into one
// buffer, so a large archive costs little more than its open.
void ReadFileNames(I7zReader& reader, uint32_t count, TFileNameList& files)
{
    files = TFileNameList();
    files.Reserve(count, static_cast<std::size_t>(count) * 24);
    TComPtr<IInArchive> archive = reader.LibraryArchive();
    TPropVariant v;
    std::wstring relative;
    for (uint32_t i = 0; i < count; ++i) {
        ClearPropVariant(v);
        archive->GetProperty(i, kpidIsDir, &v);
        const bool folder = v.vt == kVT_BOOL && v.boolVal != 0;
        ClearPropVariant(v);
        if (folder)
            continue;
        archive->GetProperty(i, kpidSize, &v);
        const uint64_t size = v.vt == kVT_UI8 ? v.uhVal : v.vt == kVT_UI4 ? v.ulVal : 0;
        ClearPropVariant(v);
        archive->GetProperty(i, kpidPath, &v);
        const wchar_t* path = v.vt == kVT_BSTR ? v.bstrVal : nullptr;
        if (AppendPlainPath(path, files.Text())) {
            files.End(size);
            continue;
        }
        files.Drop();
        if (path && MakeSafeRelativePath(path, relative) && !relative.empty())
            files.Add(WideToSystem(relative), size);
    }
    ClearPropVariant(v);
}
}

TProbeResult ProbeArchive(const std::string& path, TFileNameList* files)
{
    // Catalogue names are text from whoever packed the mods: "../" or an absolute name
    // must not make the probe open files elsewhere.
    std::string file;
    if (!TPathResolver::ResolveInside(ProgramFolder(), path, file))
        return {false, pcNotFound, FileExists(path)};
    if (!FileExists(file))
        return {false, pcNotFound};

    TGUID formatId{};
    if (!FormatIdForExtension(ExtractFileExt(file), formatId))
        return {false, pcUnknownFormat};
    // A FIFO or device named like an archive would block or never end the open.
    if (!TPathResolver::IsRegularFile(file))
        return {false, pcUnknownFormat};

    I7zReaderPtr reader = CreateArchiveReader(formatId, LibPath);
    TProbeResult result{false, pcUnknownFormat};
    try {
        reader->OpenArchiveFile(file);
        const uint32_t count = reader->ItemCount();
        result = count > 0 ? TProbeResult{true, pcUsable} : TProbeResult{false, pcEmpty};
        if (count > 0 && HasSplitItem(*reader, count))
            result = TProbeResult{false, pcUnknownFormat};
        if (count > 0 && files)
            ReadFileNames(*reader, count, *files);
    } catch (...) {
        // Whatever the library or the file does wrong, the archive is just not usable.
    }
    reader.Reset();
    return result;
}

QString ProbeNote(std::uint16_t code, const QString& text)
{
    auto note = [&text](TLangText prefix, TLangText suffix) {
        return QString::fromUtf8(LangText(prefix)) + text + QString::fromUtf8(LangText(suffix));
    };
    switch (code) {
    case pcNotFound: return note(ltNotFoundPrefix, ltNotFoundSuffix);
    case pcUnknownFormat: return note(ltUnknownFormatPrefix, ltUnknownFormatSuffix);
    case pcEmpty: return note(ltEmptyPrefix, ltEmptySuffix);
    default: return text;
    }
}
