#include "archive/TItemProperties.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>

#include "archive/ArchiveFormats.h"
#include "archive/LegacyZipName.h"
#include "archive/TArchiveChecks.h"
#include "archive/TZipUnicodePath.h"
#include "archive/WideText.h"
#include "platform/Exception.h"
#include "platform/TFileStream.h"

namespace {
bool HasNonAscii(const std::wstring& s)
{
    for (wchar_t c : s)
        if (static_cast<uint32_t>(c) >= 0x80)
            return true;
    return false;
}

// "24" is 2^24 bytes, "3m" three MiB, "5000" bytes: how the library prints a dictionary.
uint64_t ParseMemoryText(const std::wstring& s, size_t at)
{
    uint64_t n = 0;
    size_t i = at;
    while (i < s.size() && std::iswdigit(s[i]) && n < (uint64_t(1) << 40))
        n = n * 10 + static_cast<uint64_t>(s[i++] - L'0');
    if (i == at)
        return 0;
    if (n >= (uint64_t(1) << 33))
        return UINT64_MAX;
    if (i < s.size()) {
        switch (std::towlower(s[i])) {
        case L'k': return n << 10;
        case L'm': return n << 20;
        case L'g': return n << 30;
        default: break;
        }
    }
    return n < 64 ? uint64_t(1) << n : n;
}

// The decoder memory a method text such as "LZMA2:24 BCJ" or "PPMD:o6:mem24" implies.
uint64_t MethodMemory(const std::wstring& method)
{
    uint64_t most = 0;
    for (const wchar_t* name : {L"LZMA:", L"LZMA2:", L"mem"}) {
        for (size_t at = method.find(name); at != std::wstring::npos; at = method.find(name, at + 1))
            most = std::max(most, ParseMemoryText(method, at + std::wcslen(name)));
    }
    return most;
}
}  // namespace

TItemProperties::TItemProperties(IInArchive& archive, const TGUID& formatId, const std::string& fileName,
                                 bool libraryReadsUtf8)
    : Archive(archive), ItemTotal(ReadCount(archive)), FormatId(formatId), FileName(fileName),
      LibraryReadsUtf8(libraryReadsUtf8)
{
}

uint32_t TItemProperties::ReadCount(IInArchive& archive)
{
    uint32_t count = 0;
    CheckResult(archive.GetNumberOfItems(&count));
    return count;
}

uint32_t TItemProperties::Count() const
{
    return ItemTotal;
}

void TItemProperties::Read(uint32_t index, TPropId propId, TPropVariant& value) const
{
    ClearPropVariant(value);
    // The 7z handler indexes its tables without a bound check.
    if (index >= ItemTotal)
        return;
    // A missing property reads as empty; the answer itself is not examined.
    Archive.GetProperty(index, propId, &value);
}

std::wstring TItemProperties::ReadText(uint32_t index, TPropId propId) const
{
    TPropVariant v;
    Read(index, propId, v);
    std::wstring s = (v.vt == kVT_BSTR && v.bstrVal) ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    return s;
}

// Zip names stored with neither the UTF-8 flag nor Info-ZIP's Unicode path field are
// decoded here from their bytes; the library would read them by its locale.
std::wstring TItemProperties::Text(uint32_t index, TPropId propId) const
{
    std::wstring s = ReadText(index, propId);
    if (FormatId != CLSID_FormatZip || !HasNonAscii(s))
        return s;
    const std::wstring characteristics = ReadText(index, kpidCharacts);
    if (CharacteristicsHave(characteristics, L"UTF8"))
        return s;
    if (!CharacteristicsHave(characteristics, L"up") || UnicodePathRejected(index))
        s = DecodeLegacyZipName(s, LibraryReadsUtf8);
    return s;
}

// The library lists the Unicode path field also when it refused it; its local header says.
bool TItemProperties::UnicodePathRejected(uint32_t index) const
{
    if (FileName.empty())
        return false;
    bool present = false;
    const uint64_t start = TArchiveChecks::Number(Archive, kpidOffset, present);
    TPropVariant v;
    Read(index, kpidOffset, v);
    const uint64_t local = TArchiveChecks::VariantNumber(v, present);
    ClearPropVariant(v);
    if (!present)
        return false;
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenRead(FileName);
        return file && TZipUnicodePath::Rejected(*file, start + local);
    } catch (const Exception&) {
        return false;
    }
}

std::wstring TItemProperties::Path(uint32_t index) const
{
    return Text(index, kpidPath);
}

std::wstring TItemProperties::Name(uint32_t index) const
{
    return Text(index, kpidName);
}

uint64_t TItemProperties::Size(uint32_t index) const
{
    TPropVariant v;
    Read(index, kpidSize, v);
    bool present = false;
    const uint64_t size = TArchiveChecks::VariantNumber(v, present);
    ClearPropVariant(v);
    return size;
}

bool TItemProperties::IsFolder(uint32_t index) const
{
    return Flag(index, kpidIsDir);
}

bool TItemProperties::Flag(uint32_t index, TPropId propId) const
{
    TPropVariant v;
    Read(index, propId, v);
    const bool set = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    return set;
}

std::wstring TItemProperties::Method(uint32_t index) const
{
    return ReadText(index, kpidMethod);
}

uint64_t TItemProperties::DecoderMemory(uint32_t index) const
{
    return MethodMemory(Method(index));
}

std::string TItemProperties::Label(uint32_t index) const noexcept
{
    try {
        const std::string path = WideToSystem(Path(index));
        if (!path.empty())
            return path;
    } catch (...) {
    }
    return "item " + std::to_string(index);
}

bool TItemProperties::Link(uint32_t index, bool& hard, std::string& target) const
{
    if (FormatId != CLSID_FormatRar5)
        return false;
    const std::wstring hardTarget = Text(index, kpidHardLink);
    const std::wstring symbolic = hardTarget.empty() ? Text(index, kpidSymLink) : std::wstring();
    if (hardTarget.empty() && symbolic.empty())
        return false;
    hard = !hardTarget.empty();
    target = WideToSystem(hard ? hardTarget : symbolic);
    return true;
}
