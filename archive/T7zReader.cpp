#include "archive/T7zReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <exception>
#include <thread>
#include <unordered_set>

#include "archive/ArchiveFormats.h"
#include "archive/EArchiveError.h"
#include "archive/IItemReplaceHook.h"
#include "archive/ItemPathCheck.h"
#include "archive/LegacyZipName.h"
#include "archive/TArchiveLoad.h"
#include "archive/TLzma2Blocks.h"
#include "archive/TRarEndCheck.h"
#include "archive/TVolumeName.h"
#include "archive/TZipUnicodePath.h"
#include "archive/TItemWriter.h"
#include "archive/TProgressSum.h"
#include "archive/TWriterFeed.h"
#include "archive/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TFilePermissions.h"
#include "platform/TFileStream.h"
#include "platform/TPathResolver.h"

namespace {
constexpr uint64_t kMaxCheckStartPosition = 0x100000;
constexpr uint32_t kAllItems = 0xFFFFFFFFu;
constexpr TPropId kpidSolid = 13;
constexpr TPropId kpidMethod = 22;

// Data between the decoder and the writer: 32 chunks of 128 KiB per reader; a small item
// takes a chunk of its own, so this is also how many items may be in flight.
constexpr uint32_t kChunkSize = 128 * 1024;
constexpr uint32_t kChunkCount = 32;
// A second reader is worth its set-up from about this much work on; a file costs its
// bytes plus a fixed share for being created and renamed.
constexpr uint64_t kPerFileCost = 32 * 1024;
constexpr uint64_t kMinTwoReaderCost = 1024 * 1024;
// The second reader's decoder must stay small: memory is budgeted near the CLI's.
constexpr uint64_t kMaxSecondDecoderMemory = 16u << 20;

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

std::wstring LowerCase(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

constexpr uint32_t kSeekSet = 0;
constexpr uint32_t kSeekCurrent = 1;

bool HasNonAscii(const std::wstring& s)
{
    for (wchar_t c : s)
        if (static_cast<uint32_t>(c) >= 0x80)
            return true;
    return false;
}

const char* OperationResultText(int32_t opRes)
{
    switch (opRes) {
    case kOpResultUnsupportedMethod: return "unsupported compression method";
    case kOpResultDataError: return "data error";
    case kOpResultCrcError: return "CRC error";
    case kOpResultUnavailable: return "data unavailable";
    case kOpResultUnexpectedEnd: return "unexpected end of data";
    case kOpResultDataAfterEnd: return "data after the end of the payload";
    case kOpResultIsNotArc: return "not an archive";
    case kOpResultHeadersError: return "headers error";
    case kOpResultWrongPassword: return "wrong password";
    default: return "extraction error";
    }
}

// A failed write: the folder that was to hold the file may be missing, which is not a
// missing archive.
TFailReason WriteFailReason(int error)
{
    const TFailReason r = FailReasonForSystemError(error);
    return r == TFailReason::ArchiveMissing ? TFailReason::Other : r;
}

uint64_t VariantNumber(const TPropVariant& v, bool& present)
{
    present = true;
    if (v.vt == kVT_UI8)
        return v.uhVal;
    if (v.vt == kVT_UI4)
        return v.ulVal;
    present = false;
    return 0;
}

// Runs a clean-up when the scope ends, on every way out.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F f) : Fn(std::move(f)) {}
    ~TScopeExit() { Fn(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F Fn;
};
}  // namespace

// The library settles how it reads 8-bit names when it is loaded, by the locale of that
// moment; the reader notes the same at the same time.
T7zReader::T7zReader(const std::string& libName)
    : T7zFormat(libName), LibraryName(libName), LibraryReadsUtf8(LocaleCodesetIsUtf8())
{
}

T7zReader::~T7zReader()
{
    DiscardPendingFile();
    // Released without Close, before the base unloads the library.
    LibArchive.Reset();
}

THResult T7zReader::QueryInterface(const TGUID& iid, void** out) noexcept
{
    if (!out)
        return kE_INVALIDARG;
    *out = nullptr;
    if (iid == IID_IUnknown7z)
        *out = static_cast<IUnknown*>(static_cast<I7zReader*>(this));
    else if (iid == IID_I7zReader)
        *out = static_cast<I7zReader*>(this);
    else if (iid == IID_IArchiveOpenCallback)
        *out = static_cast<IArchiveOpenCallback*>(this);
    else if (iid == IID_IArchiveOpenVolumeCallback)
        *out = static_cast<IArchiveOpenVolumeCallback*>(this);
    else if (iid == IID_IArchiveOpenSetSubArchiveName)
        *out = static_cast<IArchiveOpenSetSubArchiveName*>(this);
    else if (iid == IID_IArchiveExtractCallback)
        *out = static_cast<IArchiveExtractCallback*>(this);
    else if (iid == IID_IProgress)
        *out = static_cast<IProgress*>(this);
    else if (iid == IID_ICryptoGetTextPassword)
        *out = static_cast<ICryptoGetTextPassword*>(this);
    else
        return kE_NOINTERFACE;
    AddRefObject();
    return kS_OK;
}

uint32_t T7zReader::AddRef() noexcept
{
    return AddRefObject();
}

uint32_t T7zReader::Release() noexcept
{
    return ReleaseObject();
}

// --- the reader's operations -------------------------------------------------------

TComPtr<IInArchive> T7zReader::LibraryArchive()
{
    if (!LibArchive) {
        IInArchive* created = nullptr;
        const THResult rc = CreateLibraryObject(FormatId, IID_IInArchive, reinterpret_cast<void**>(&created));
        if (rc < 0)
            throw EArchiveError(ResultCodeText(rc));
        if (!created)
            throw EArchiveError("The library made no archive object for the format");
        LibArchive = TComPtr<IInArchive>::Attach(created);
    }
    return LibArchive;
}

void T7zReader::OpenArchiveFile(const std::string& fileName)
{
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file) {
        const TFailReason reason = FailReasonForSystemError(TFileStream::LastErrorCode());
        throw EArchiveError("Cannot open file " + fileName,
                            reason == TFailReason::ArchiveMissing ? reason : TFailReason::Other);
    }
    TComPtr<T7zStream> stream(new T7zStream(file.release(), TStreamOwnership::Owned, Errors));
    ArchiveFileName.clear();
    VolumeFolder = ExtractFilePath(fileName);
    VolumeFirst = ExtractFileName(fileName);
    OpenInStream(static_cast<IInStream*>(stream.Get()));
    CheckRarEnd(fileName);
    ArchiveFileName = fileName;
    if (FormatId == CLSID_Format7z)
        ChooseDecoderThreads(fileName);
}

// The library decodes LZMA2 on every core by default, which only pays for a stream cut
// into blocks; the first packed stream of a 7z (right after its 32-byte signature header)
// shows how its maker cut them. Speed and memory only: a wrong guess decodes the same bytes.
void T7zReader::ChooseDecoderThreads(const std::string& fileName)
{
    uint32_t first = 0;
    const uint32_t count = ItemCount();
    while (first < count && (ItemIsFolder(first) || ItemSize(first) == 0))
        ++first;
    if (first == count)
        return;
    TPropVariant v;
    ReadProperty(first, kpidMethod, v);
    const std::wstring method = v.vt == kVT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    // Several packed streams (BCJ2) or encrypted ones cannot be read from here.
    if (method.find(L"LZMA2") == std::wstring::npos || method.find(L"BCJ2") != std::wstring::npos ||
        method.find(L"AES") != std::wstring::npos)
        return;
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file)
        return;
    LibraryArchive()->GetArchiveProperty(kpidOffset, &v);
    bool present = false;
    const uint64_t start = VariantNumber(v, present);
    ClearPropVariant(v);
    TLzma2Blocks::TLayout layout = TLzma2Blocks::TLayout::Unknown;
    try {
        layout = TLzma2Blocks::Scan(*file, start + 32, file->Size());
    } catch (const Exception&) {
    }
    if (layout != TLzma2Blocks::TLayout::OneBlock)
        return;
    ISetProperties* settings = nullptr;
    if (LibraryArchive()->QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(&settings)) != kS_OK ||
        !settings)
        return;
    const wchar_t* names[] = {L"mt"};
    TPropVariant one;
    one.vt = kVT_UI4;
    one.ulVal = 1;
    settings->SetProperties(names, &one, 1);
    settings->Release();
}

void T7zReader::CheckRarEnd(const std::string& fileName)
{
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file)
        return;
    TPropVariant v;
    LibraryArchive()->GetArchiveProperty(kpidOffset, &v);
    bool present = false;
    const uint64_t start = VariantNumber(v, present);
    ClearPropVariant(v);
    bool complete = true;
    try {
        complete = TRarEndCheck::Complete(*file, start);
    } catch (const Exception&) {
        // Unreadable now: the extraction's own reads will say so.
    }
    if (!complete) {
        CloseArchive();
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
    }
}

void T7zReader::OpenArchiveStream(IInStream* stream)
{
    ArchiveFileName.clear();
    VolumeFolder.clear();
    VolumeFirst.clear();
    OpenInStream(stream);
}

void T7zReader::OpenInStream(IInStream* stream)
{
    if (!stream)
        throw EArchiveError("No archive stream given");
    HaveCurrentIndex = false;
    HaveOpenedSize = false;
    VolumesGiven = 0;
    MissingVolume.clear();
    IStreamGetSize* sizer = nullptr;
    if (stream->QueryInterface(IID_IStreamGetSize, reinterpret_cast<void**>(&sizer)) == kS_OK && sizer) {
        HaveOpenedSize = sizer->GetSize(&OpenedSize) == kS_OK;
        sizer->Release();
    }
    // RAR 1.5-4.x and RAR5 have a handler each, and each answers "not my format" for the
    // other's files: a ".rar" is offered to the second before the open counts as failed.
    const TGUID asked = FormatId;
    const bool rar = asked == CLSID_FormatRar || asked == CLSID_FormatRar5;
    uint64_t start = 0;
    const bool rewindable = rar && stream->Seek(0, kSeekCurrent, &start) == kS_OK;
    THResult rc = OpenWithLibrary(stream);
    // A refused password means the first handler knew the file as its own.
    if (rewindable && rc == kS_FALSE && !Errors->Any() && !PasswordRefused) {
        DropLibraryArchive();
        FormatId = asked == CLSID_FormatRar ? CLSID_FormatRar5 : CLSID_FormatRar;
        rc = stream->Seek(static_cast<int64_t>(start), kSeekSet, nullptr);
        if (rc == kS_OK)
            rc = OpenWithLibrary(stream);
        if (rc != kS_OK) {
            // Both refused: the reader stays what it was made for.
            DropLibraryArchive();
            FormatId = asked;
        }
    }
    RaiseIfFailed(rc);
    NoteMissingVolume();
    try {
        CheckArchiveState();
    } catch (...) {
        // A damaged archive is not left open half-usable.
        CloseArchive();
        throw;
    }
}

THResult T7zReader::OpenWithLibrary(IInStream* stream)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    Errors->Clear();
    return archive->Open(stream, &kMaxCheckStartPosition, static_cast<IArchiveOpenCallback*>(this));
}

void T7zReader::CheckArchiveState()
{
    IInArchive* archive = LibraryArchive().Get();
    auto number = [archive](TPropId id, bool& present) {
        TPropVariant v;
        archive->GetArchiveProperty(id, &v);
        const uint64_t n = VariantNumber(v, present);
        ClearPropVariant(v);
        return n;
    };
    TPropVariant v;
    archive->GetArchiveProperty(kpidIsNotArcType, &v);
    const bool notArcType = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    if (notArcType)
        throw EArchiveError("The file is not an archive of its type");

    bool present = false;
    const uint32_t errors = static_cast<uint32_t>(number(kpidErrorFlags, present));
    const uint32_t warnings = static_cast<uint32_t>(number(kpidWarningFlags, present));
    // Data after the end or an unconfirmed start leave every item whole; the rest do not.
    const uint32_t harmless = kArcFlagDataAfterEnd | kArcFlagUnconfirmedStart;
    const uint32_t bad = errors | (warnings & ~harmless);
    bool havePhy = false, haveOffset = false;
    const uint64_t phy = number(kpidPhySize, havePhy);
    const uint64_t offset = number(kpidOffset, haveOffset);
    if (bad & (kArcFlagUnexpectedEnd | kArcFlagUnavailableStart))
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
    if (bad & kArcFlagEncryptedHeadersError)
        throw EArchiveError("The archive's headers are encrypted", TFailReason::Encrypted);
    if (bad & (kArcFlagHeadersError | kArcFlagDataError | kArcFlagCrcError))
        throw EArchiveError("The archive's headers are damaged", TFailReason::DataError);
    if (bad & kArcFlagIsNotArc)
        throw EArchiveError("The file is not an archive of its type");
    if (bad & kArcFlagUnsupportedMethod)
        throw EArchiveError("The archive uses an unsupported method");
    // Something the library does not know stops its reading there, and the items behind
    // it never show; only an archive it demonstrably read to its end is whole.
    const bool readToEnd = havePhy && HaveOpenedSize && phy + (haveOffset ? offset : 0) >= OpenedSize;
    if ((bad & kArcFlagUnsupportedFeature) && !readToEnd)
        throw EArchiveError("The archive uses a feature this program cannot read", TFailReason::UnsupportedFeature);

    if (havePhy && HaveOpenedSize && phy + (haveOffset ? offset : 0) > OpenedSize)
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
}

void T7zReader::CloseArchive()
{
    PasswordKnown = false;
    ArchiveFileName.clear();
    DropLibraryArchive();
}

void T7zReader::DropLibraryArchive()
{
    if (LibArchive) {
        LibArchive->Close();
        LibArchive.Reset();
    }
}

uint32_t T7zReader::ItemCount()
{
    uint32_t count = 0;
    CheckResult(LibraryArchive()->GetNumberOfItems(&count));
    return count;
}

void T7zReader::ReadProperty(uint32_t index, TPropId propId, TPropVariant& value)
{
    ClearPropVariant(value);
    // The 7z handler indexes its tables without a bound check; no such item reads as empty.
    if (index >= ItemCount())
        return;
    // A missing property reads as empty; the answer itself is not examined.
    LibraryArchive()->GetProperty(index, propId, &value);
}

std::wstring T7zReader::ReadText(uint32_t index, TPropId propId)
{
    TPropVariant v;
    ReadProperty(index, propId, v);
    std::wstring s = (v.vt == kVT_BSTR && v.bstrVal) ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    return s;
}

// Zip names stored with neither the UTF-8 flag nor Info-ZIP's Unicode path field are
// decoded here from their bytes; the library would read them by its locale.
std::wstring T7zReader::ItemText(uint32_t index, TPropId propId)
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
bool T7zReader::UnicodePathRejected(uint32_t index)
{
    if (ArchiveFileName.empty())
        return false;
    TPropVariant v;
    LibraryArchive()->GetArchiveProperty(kpidOffset, &v);
    bool present = false;
    const uint64_t start = VariantNumber(v, present);
    ReadProperty(index, kpidOffset, v);
    const uint64_t local = VariantNumber(v, present);
    ClearPropVariant(v);
    if (!present)
        return false;
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenRead(ArchiveFileName);
        return file && TZipUnicodePath::Rejected(*file, start + local);
    } catch (const Exception&) {
        return false;
    }
}

std::wstring T7zReader::ItemPath(uint32_t index)
{
    return ItemText(index, kpidPath);
}

std::wstring T7zReader::ItemName(uint32_t index)
{
    return ItemText(index, kpidName);
}

uint64_t T7zReader::ItemSize(uint32_t index)
{
    TPropVariant v;
    ReadProperty(index, kpidSize, v);
    uint64_t size = 0;
    if (v.vt == kVT_UI8)
        size = v.uhVal;
    else if (v.vt == kVT_UI4)
        size = v.ulVal;
    ClearPropVariant(v);
    return size;
}

bool T7zReader::ItemIsFolder(uint32_t index)
{
    TPropVariant v;
    ReadProperty(index, kpidIsDir, v);
    const bool folder = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    return folder;
}

bool T7zReader::ItemFlag(uint32_t index, TPropId propId)
{
    TPropVariant v;
    ReadProperty(index, propId, v);
    const bool set = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    return set;
}

void T7zReader::RunExtract(const uint32_t* indices, uint32_t count, bool testOnly)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    if (!SharedErrors)
        Errors->Clear();
    HaveCurrentIndex = false;
    PasswordRefused = false;
    DecoderStopped = false;
    WriterFailed = false;
    EnsuredFolder.clear();
    const THResult rc = archive->Extract(indices, count, testOnly ? 1 : 0,
                                         static_cast<IArchiveExtractCallback*>(this));
    // An item the library stopped in the middle of leaves nothing behind; the items it
    // finished are settled before the answer is known.
    AbandonFeed();
    if (Writer)
        Writer->Drain();
    DiscardPendingFile();
    RaiseIfFailed(rc);
    // Damage found only while reading (a zip whose end went missing) shows here.
    CheckArchiveState();
}

// An error kept by a callback outranks the code: the code is only its echo, and the
// library may even answer 0 after a callback failed.
void T7zReader::RaiseIfFailed(THResult code)
{
    std::string text, item;
    TFailReason reason = TFailReason::Other;
    if (SharedErrors) {
        // Left for the caller of both halves, which knows which failure came first.
        if (Errors->Any())
            throw EArchiveError("");
    } else if (Errors->Take(text, reason, item)) {
        if (item.empty() && HaveCurrentIndex)
            item = ItemLabel(CurrentIndex);
        if (reason == TFailReason::Other && PasswordRefused)
            reason = TFailReason::Encrypted;
        throw EArchiveError(text, reason, item);
    }
    if (code != kS_OK && PasswordRefused)
        throw EArchiveError(ResultCodeText(code), TFailReason::Encrypted,
                            HaveCurrentIndex ? ItemLabel(CurrentIndex) : std::string());
    CheckResult(code);
}

bool T7zReader::Stopping() const noexcept
{
    return DecoderStopped || WriterFailed.load(std::memory_order_relaxed) || Errors->Any();
}

void T7zReader::ExtractItemToStream(uint32_t index, THostStream& hostStream, bool testOnly)
{
    ItemStream = &hostStream;
    TScopeExit reset([this] { ItemStream = nullptr; });
    RunExtract(&index, 1, testOnly);
}

void T7zReader::ExtractItemList(const uint32_t* indices, uint32_t count, bool testOnly, void* sender,
                                TArchiveOutStreamFn fn)
{
    OutStreamSender = sender;
    OutStreamFn = fn;
    TScopeExit reset([this] { OutStreamSender = nullptr; OutStreamFn = nullptr; });
    RunExtract(indices, count, testOnly);
}

void T7zReader::ExtractEveryItem(bool testOnly, void* sender, TArchiveOutStreamFn fn)
{
    ExtractItemList(nullptr, kAllItems, testOnly, sender, fn);
}

void T7zReader::ExtractAllToFolder(const std::string& folder)
{
    // An empty folder would make every item an absolute path below the root.
    if (folder.empty())
        throw EArchiveError("No destination folder given");
    ExtractFolder = IncludeTrailingPathDelimiter(folder);
    TScopeExit reset([this] { ExtractFolder.clear(); });
    std::vector<uint32_t> first, second;
    if (PlanTwoReaders(first, second))
        ExtractOnTwoReaders(first, second);
    else
        ExtractToFolderOnWriter(nullptr, kAllItems);
}

void T7zReader::ExtractToFolderOnWriter(const uint32_t* indices, uint32_t count, bool writerThread)
{
    Writer = std::make_unique<TItemWriter>(kChunkSize, kChunkCount, writerThread);
    TScopeExit drop([this] { Writer.reset(); });
    RunExtract(indices, count, false);
}

bool T7zReader::ArchiveIsSolid()
{
    TPropVariant v;
    ClearPropVariant(v);
    LibraryArchive()->GetArchiveProperty(kpidSolid, &v);
    const bool solid = v.vt == kVT_BOOL && v.boolVal != 0;
    ClearPropVariant(v);
    return solid;
}

uint64_t T7zReader::ItemDecoderMemory(uint32_t index)
{
    TPropVariant v;
    ReadProperty(index, kpidMethod, v);
    const uint64_t memory = (v.vt == kVT_BSTR && v.bstrVal) ? MethodMemory(v.bstrVal) : 0;
    ClearPropVariant(v);
    return memory;
}

// Only where the order of the items cannot show: every path is safe, no file is named
// twice (even by case) and no file stands where another item needs a folder. Anything
// else goes through one reader, in the archive's order.
bool T7zReader::PlanTwoReaders(std::vector<uint32_t>& first, std::vector<uint32_t>& second)
{
    if (ArchiveFileName.empty() || PasswordFn || !TArchiveLoad::CoreForSecondDecoder() || ArchiveIsSolid())
        return false;
    const uint32_t count = ItemCount();
    if (count < 2)
        return false;
    // A hard link is a copy of a file the other half might not have written yet.
    TLinkItem link;
    for (uint32_t i = 0; i < count; ++i)
        if (LinkItem(i, link) && link.Hard)
            return false;
    struct TWork {
        uint32_t Index;
        uint64_t Cost;
    };
    std::vector<TWork> work;
    work.reserve(count);
    std::unordered_set<std::wstring> files, folders;
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        std::wstring relative;
        if (!MakeSafeRelativePath(ItemPath(i), relative) || ItemDecoderMemory(i) > kMaxSecondDecoderMemory)
            return false;
        const std::wstring key = LowerCase(relative);
        for (size_t at = key.find(L'/'); at != std::wstring::npos; at = key.find(L'/', at + 1))
            folders.insert(key.substr(0, at));
        if (ItemIsFolder(i)) {
            folders.insert(key);
            work.push_back({i, 0});
            continue;
        }
        if (key.empty() || !files.insert(key).second)
            return false;
        const uint64_t cost = ItemSize(i) + kPerFileCost;
        work.push_back({i, cost});
        total += cost;
    }
    for (const std::wstring& f : files)
        if (folders.count(f))
            return false;
    if (total < kMinTwoReaderCost)
        return false;
    // Largest first, each to the lighter half.
    std::stable_sort(work.begin(), work.end(), [](const TWork& a, const TWork& b) { return a.Cost > b.Cost; });
    uint64_t load[2] = {0, 0};
    for (const TWork& w : work) {
        const int half = load[1] < load[0] ? 1 : 0;
        (half ? second : first).push_back(w.Index);
        load[half] += w.Cost;
    }
    if (first.empty() || second.empty())
        return false;
    // Each reader goes through the file front to back.
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    return true;
}

void T7zReader::ExtractOnTwoReaders(const std::vector<uint32_t>& first, const std::vector<uint32_t>& second)
{
    // The second reader has its own load of the library, file stream and archive object.
    TComPtr<T7zReader> other;
    try {
        other = TComPtr<T7zReader>(new T7zReader(LibraryName));
        other->FormatId = FormatId;
        other->Errors = Errors;  // one slot: the first failure stops both halves
        other->OpenArchiveFile(ArchiveFileName);
    } catch (...) {
        other.Reset();
    }
    bool sameItems = false;
    try {
        sameItems = other && other->ItemCount() == ItemCount();
    } catch (...) {
    }
    if (!sameItems) {
        ExtractToFolderOnWriter(nullptr, kAllItems);
        return;
    }
    other->PasswordKnown = PasswordKnown;
    other->Password = Password;
    other->ObserverSender = ObserverSender;
    other->ObserverFn = ObserverFn;
    other->ReplaceHook = ReplaceHook;
    other->ExtractFolder = ExtractFolder;

    TProgressSum sum(ProgressSender, ProgressFn);
    void* const savedSender = ProgressSender;
    const TArchiveProgressFn savedFn = ProgressFn;
    if (savedFn) {
        ProgressSender = sum.Half(0);
        ProgressFn = &TProgressSum::Forward;
        other->ProgressSender = sum.Half(1);
        other->ProgressFn = &TProgressSum::Forward;
    }
    Errors->Clear();
    SharedErrors = true;
    other->SharedErrors = true;
    TScopeExit restore([&] {
        ProgressSender = savedSender;
        ProgressFn = savedFn;
        SharedErrors = false;
    });

    struct TOutcome {
        bool Failed = false;
        std::string Text;
        TFailReason Reason = TFailReason::Other;
        std::string Item;
    };
    auto run = [](T7zReader& reader, const std::vector<uint32_t>& items, TOutcome& out) noexcept {
        try {
            reader.ExtractToFolderOnWriter(items.data(), static_cast<uint32_t>(items.size()), false);
        } catch (const EArchiveError& e) {
            out.Failed = true;
            out.Text = e.what();
            out.Reason = e.Reason();
            out.Item = e.Item();
        } catch (const std::exception& e) {
            out.Failed = true;
            out.Text = e.what();
        } catch (...) {
            out.Failed = true;
            out.Text = "Unknown error in an archive callback";
        }
    };
    TOutcome mine, theirs;
    std::thread helper;
    try {
        helper = std::thread([&] { run(*other, second, theirs); });
    } catch (...) {
    }
    run(*this, first, mine);
    if (helper.joinable())
        helper.join();
    else
        run(*other, second, theirs);

    // A kept text is the failure that stopped both; a bare code is that half's own.
    std::string text, item;
    TFailReason reason = TFailReason::Other;
    if (Errors->Take(text, reason, item))
        throw EArchiveError(text, reason, item);
    if (mine.Failed)
        throw EArchiveError(mine.Text, mine.Reason, mine.Item);
    if (theirs.Failed)
        throw EArchiveError(theirs.Text, theirs.Reason, theirs.Item);
}

void T7zReader::SetPasswordSource(void* sender, TArchivePasswordFn fn)
{
    PasswordSender = sender;
    PasswordFn = fn;
}

void T7zReader::SetPasswordText(const std::wstring& password)
{
    Password = password;
    PasswordKnown = !password.empty();
}

void T7zReader::SetProgressSink(void* sender, TArchiveProgressFn fn)
{
    ProgressSender = sender;
    ProgressFn = fn;
}

void T7zReader::SetWriteObserver(void* sender, TArchiveWriteObserverFn fn)
{
    ObserverSender = sender;
    ObserverFn = fn;
}

void T7zReader::SetReplaceHook(IItemReplaceHook* hook)
{
    ReplaceHook = hook;
}

void T7zReader::SetFormatId(const TGUID& id)
{
    FormatId = id;
}

TGUID T7zReader::GetFormatId()
{
    return FormatId;
}

// --- callbacks: no exception may leave them ------------------------------------------

THResult T7zReader::Fail(const std::string& message, TFailReason reason, const std::string& item) noexcept
{
    if (TItemWriter::OnWriterThread()) {
        Errors->Set(message, reason, item);
        WriterFailed = true;
        return kE_ABORT;
    }
    if (Writer) {
        // Items handed over before this one may still fail; theirs come first.
        DecoderStopped = true;
        try {
            Writer->Post([this, message, reason, item] { Fail(message, reason, item); });
            return kE_ABORT;
        } catch (...) {
        }
    }
    Errors->Set(message, reason, item);
    return kE_ABORT;
}

TFailReason T7zReader::ReasonForResult(int32_t opRes) const noexcept
{
    if (PasswordRefused)
        return TFailReason::Encrypted;
    switch (opRes) {
    case kOpResultUnsupportedMethod: return TFailReason::Other;
    case kOpResultUnavailable:
    case kOpResultUnexpectedEnd: return TFailReason::Truncated;
    case kOpResultWrongPassword: return TFailReason::Encrypted;
    default: return TFailReason::DataError;
    }
}

// Called from a catch block only.
THResult T7zReader::FailFromCurrentException() noexcept
{
    std::string text = "Unknown error in an archive callback";
    std::string item;
    TFailReason reason = TFailReason::Other;
    try {
        throw;
    } catch (const EArchiveError& e) {
        try {
            text = e.what();
            item = e.Item();
        } catch (...) {
        }
        reason = e.Reason();
    } catch (const Exception& e) {
        try {
            text = e.what();
        } catch (...) {
        }
        reason = WriteFailReason(e.SystemError());
    } catch (const std::exception& e) {
        try {
            text = e.what();
        } catch (...) {
        }
    } catch (...) {
    }
    // The writer may be an item behind the decoder: its own item is the one that failed.
    if (item.empty() && TItemWriter::OnWriterThread() && Pending) {
        try {
            item = Pending->ItemPath;
        } catch (...) {
        }
    }
    return Fail(text, reason, item);
}

std::string T7zReader::ItemLabel(uint32_t index) noexcept
{
    try {
        const std::string path = WideToSystem(ItemPath(index));
        if (!path.empty())
            return path;
    } catch (...) {
    }
    return "item " + std::to_string(index);
}

THResult T7zReader::SetTotal(const uint64_t*, const uint64_t*) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetCompleted(const uint64_t*, const uint64_t*) noexcept
{
    return kS_OK;
}

THResult T7zReader::GetProperty(TPropId propId, TPropVariant* value) noexcept
{
    if (!value)
        return kE_INVALIDARG;
    ClearPropVariant(*value);
    try {
        // The library makes the names of further parts from the first one's.
        if (propId == kpidName && !VolumeFirst.empty()) {
            const std::wstring name = SystemToWide(VolumeFirst);
            value->vt = kVT_BSTR;
            value->bstrVal = AllocBStr(name.c_str(), static_cast<uint32_t>(name.size()));
        }
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult T7zReader::GetStream(const wchar_t* name, IInStream** inStream) noexcept
{
    if (!inStream)
        return kE_INVALIDARG;
    *inStream = nullptr;
    try {
        // Only a part of this set, beside its first part, and a bounded number of them.
        const std::string part = name ? WideToSystem(name) : std::string();
        if (VolumeFolder.empty() || VolumesGiven >= TVolumeName::MaxParts ||
            !TVolumeName::FollowsFirst(VolumeFirst, part))
            return kS_FALSE;
        const std::string path = VolumeFolder + part;
        std::unique_ptr<TFileStream> file =
            TPathResolver::IsRegularFile(path) ? TFileStream::OpenRead(path) : nullptr;
        if (!file)
            return kS_FALSE;
        ++VolumesGiven;
        TComPtr<T7zStream> stream(new T7zStream(file.release(), TStreamOwnership::Owned, Errors));
        *inStream = static_cast<IInStream*>(stream.Detach());
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

void T7zReader::NoteMissingVolume()
{
    TPropVariant v;
    LibraryArchive()->GetArchiveProperty(kpidError, &v);
    const std::wstring error = v.vt == kVT_BSTR && v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    const std::wstring prefix = L"Missing volume : ";
    if (error.compare(0, prefix.size(), prefix) == 0)
        MissingVolume = WideToSystem(error.substr(prefix.size()));
}

THResult T7zReader::SetSubArchiveName(const wchar_t*) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetTotal(uint64_t total) noexcept
{
    if (!ProgressFn)
        return kS_OK;
    try {
        return ProgressFn(ProgressSender, true, total);
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult T7zReader::SetCompleted(const uint64_t* completeValue) noexcept
{
    if (Writer && Stopping())
        return kE_ABORT;
    if (!ProgressFn || !completeValue)
        return kS_OK;
    try {
        return ProgressFn(ProgressSender, false, *completeValue);
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult T7zReader::GetStream(uint32_t index, ISequentialOutStream** outStream, int32_t askExtractMode) noexcept
{
    if (!outStream)
        return kE_INVALIDARG;
    *outStream = nullptr;
    try {
        AbandonFeed();
        CurrentIndex = index;
        HaveCurrentIndex = true;
        if (Writer && Stopping())
            return kE_ABORT;
        if (askExtractMode != kAskExtract)
            return kS_OK;
        THResult refused = kS_OK;
        if (RefuseItem(index, refused))
            return refused;
        if (ItemStream) {
            TComPtr<T7zStream> s(new T7zStream(ItemStream, TStreamOwnership::Borrowed, Errors));
            s->SetWriteObserver(ObserverSender, ObserverFn);
            *outStream = static_cast<ISequentialOutStream*>(s.Detach());
            return kS_OK;
        }
        if (OutStreamFn)
            return OutStreamFn(OutStreamSender, index, outStream);
        if (!ExtractFolder.empty())
            return GetFolderStream(index, outStream);
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

bool T7zReader::RefuseItem(uint32_t index, THResult& result)
{
    if (ItemIsFolder(index))
        return false;
    // A part of an item is never a good copy of it: the rest lies in a volume not supplied.
    if (ItemFlag(index, kpidSplitBefore) || ItemFlag(index, kpidSplitAfter)) {
        const std::string item = ItemLabel(index);
        const std::string missing = MissingVolume.empty() ? std::string() : " (missing " + MissingVolume + ")";
        result = Fail("Item continues in another volume" + missing + ": " + item, TFailReason::SplitItem, item);
        return true;
    }
    if (ItemFlag(index, kpidEncrypted) && !PasswordKnown && !PasswordFn) {
        const std::string item = ItemLabel(index);
        result = Fail("Item is encrypted: " + item, TFailReason::Encrypted, item);
        return true;
    }
    return false;
}

bool T7zReader::LinkItem(uint32_t index, TLinkItem& link)
{
    if (FormatId != CLSID_FormatRar5)
        return false;
    const std::wstring hard = ItemText(index, kpidHardLink);
    const std::wstring symbolic = hard.empty() ? ItemText(index, kpidSymLink) : std::wstring();
    if (hard.empty() && symbolic.empty())
        return false;
    link.Hard = !hard.empty();
    link.Target = WideToSystem(link.Hard ? hard : symbolic);
    return true;
}

void T7zReader::PostLinkContent(const TLinkItem& link)
{
    Writer->Post([this, link] {
        try {
            auto put = [this](const char* data, uint32_t size) {
                TWriteChunk chunk;
                chunk.Data.reset(new char[size]);
                std::memcpy(chunk.Data.get(), data, size);
                chunk.Size = chunk.Capacity = size;
                WritePendingChunk(chunk);
            };
            if (!link.Hard) {
                if (!link.Target.empty())
                    put(link.Target.data(), static_cast<uint32_t>(link.Target.size()));
                return;
            }
            // The file it names was placed before it, by this extraction, below the folder.
            std::wstring relative;
            std::unique_ptr<TFileStream> source;
            if (MakeSafeRelativePath(SystemToWide(link.Target), relative) && !relative.empty())
                source = TFileStream::OpenRead(ExtractFolder + WideToSystem(relative));
            if (!source)
                throw EArchiveError("The file a link names is not in the archive: " + link.Target,
                                    TFailReason::DataError, link.Target);
            std::vector<char> buffer(1 << 16);
            for (;;) {
                const uint32_t got = source->Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
                if (got == 0)
                    break;
                put(buffer.data(), got);
            }
        } catch (...) {
            FailFromCurrentException();
            DiscardPendingFile();
        }
    });
}

THResult T7zReader::GetFolderStream(uint32_t index, ISequentialOutStream** outStream)
{
    const std::wstring itemPath = ItemPath(index);
    std::wstring relative;
    if (!MakeSafeRelativePath(itemPath, relative))
        return Fail("Item path leads out of the destination folder: " + WideToSystem(itemPath),
                    TFailReason::UnsafePath, WideToSystem(itemPath));
    // Folders come into being only on the way to a file.
    if (ItemIsFolder(index))
        return kS_OK;
    const std::string dest = ExtractFolder + WideToSystem(relative);
    if (relative.empty())
        return Fail("Cannot create file " + dest, TFailReason::Other, WideToSystem(itemPath));
    const uint64_t size = ItemSize(index);
    const std::string label = WideToSystem(itemPath), below = WideToSystem(relative);
    Writer->Post([this, label, below, dest, size] {
        try {
            OpenPendingFile(label, below, dest, size);
        } catch (...) {
            FailFromCurrentException();
        }
    });

    CurrentIsLink = LinkItem(index, CurrentLink);
    const bool ownData = !CurrentIsLink;
    auto feed = std::make_unique<TWriterFeed>(*Writer, [this, ownData](TItemWriter::TChunkPtr chunk) {
        if (ownData)
            Writer->Post([this, chunk] { WritePendingChunk(*chunk); });
    });
    TComPtr<T7zStream> stream(new T7zStream(feed.get(), TStreamOwnership::Owned, Errors));
    Feed = feed.release();
    stream->SetWriteObserver(ObserverSender, ObserverFn);
    FeedStream = stream;
    *outStream = static_cast<ISequentialOutStream*>(stream.Detach());
    return kS_OK;
}

// The library is done with the item's stream: what it wrote goes to the writer, and the
// stream refuses anything later.
void T7zReader::EndFeed() noexcept
{
    if (!FeedStream)
        return;
    try {
        Feed->Flush();
    } catch (...) {
        FailFromCurrentException();
    }
    FeedStream->DetachHost();  // frees the feed
    FeedStream.Reset();
    Feed = nullptr;
}

void T7zReader::AbandonFeed() noexcept
{
    if (!FeedStream)
        return;
    EndFeed();
    try {
        Writer->Post([this] { DiscardPendingFile(); });
    } catch (...) {
        Writer->Drain();
        DiscardPendingFile();
    }
}

// --- the writer thread's side of an item ------------------------------------------------

void T7zReader::EnsureFolder(const std::string& folder)
{
    // The record tells the folders this installation made from the player's own.
    std::vector<std::string> made;
    if (!ForceDirectoriesBelow(ExtractFolder, folder, made))
        return;  // a failure shows as the file creation's
    EnsuredFolder = folder;
    if (ReplaceHook)
        for (const std::string& m : made)
            ReplaceHook->FolderCreated(m);
}

void T7zReader::OpenPendingFile(const std::string& itemPath, const std::string& relativePath,
                                const std::string& destPath, uint64_t size)
{
    DiscardPendingFile();
    if (WriterFailed)
        return;  // nothing after a failed item is written
    const std::string folder = ExtractFilePath(destPath);
    // Items come folder by folder: a folder made for the last item stands.
    if (folder != EnsuredFolder)
        EnsureFolder(folder);
    auto pending = std::make_unique<TPendingFile>();
    pending->ItemPath = itemPath;
    pending->RelativePath = relativePath;
    pending->DestPath = destPath;
    const bool replacing = EntryExists(destPath);
    if (replacing && (DirectoryExists(destPath) || TFileStream::IsReadOnlyFile(destPath))) {
        Fail("Cannot create file " + destPath,
             DirectoryExists(destPath) ? TFailReason::Other : TFailReason::ReadOnly, itemPath);
        return;
    }
    // A file of the item's size may already hold its bytes (the same mod installed again):
    // compare first, from memory only, and write only once they differ.
    uint64_t existingSize = 0;
    std::unique_ptr<TFileStream> existing;
    if (replacing && size > 0)
        existing = TFileStream::OpenExistingFile(destPath, existingSize);
    if (existing && existingSize == size) {
        pending->Existing = std::move(existing);
        pending->ExistingSize = existingSize;
    } else {
        // A new file is written without a name and linked into place once good: no
        // temporary name to create and rename away.
        if (!replacing && LinkingWorks) {
            pending->File = TFileStream::CreateLinkable(folder);
            // Not on this file system (or not allowed): named files from now on, where any
            // real failure shows.
            LinkingWorks = pending->File != nullptr;
        }
        pending->Unnamed = pending->File != nullptr;
        if (!pending->File)
            pending->File = TFileStream::CreateTemp(folder, pending->TempPath);
        if (!pending->File) {
            Fail("Cannot create file " + destPath, WriteFailReason(TFileStream::LastErrorCode()), itemPath);
            return;
        }
    }
    Pending = std::move(pending);
}

void T7zReader::WritePendingChunk(const TWriteChunk& chunk)
{
    TPendingFile* p = Pending.get();
    if (!p || WriterFailed)
        return;
    try {
        if (ObserverFn)
            ObserverFn(ObserverSender);
        if (ReplaceHook) {
            p->Digest.Update(chunk.Data.get(), chunk.Size);
            p->Size += chunk.Size;
        }
        if (p->Existing) {
            if (CompareBuffer.size() < chunk.Size)
                CompareBuffer.resize(chunk.Size);
            uint32_t got = 0;
            if (p->Existing->ReadCachedAt(CompareBuffer.data(), chunk.Size, p->Compared, got) &&
                got == chunk.Size && std::memcmp(CompareBuffer.data(), chunk.Data.get(), chunk.Size) == 0) {
                p->Compared += chunk.Size;
                return;
            }
            StopComparing(*p);
        }
        p->File->Write(chunk.Data.get(), chunk.Size);
    } catch (...) {
        FailFromCurrentException();
        DiscardPendingFile();
    }
}

// The bytes differ after all (or are not in memory): a temporary file gets the part that
// matched, and the item goes on as a new file.
void T7zReader::StopComparing(TPendingFile& p)
{
    const std::string folder = ExtractFilePath(p.DestPath);
    p.File = TFileStream::CreateTemp(folder, p.TempPath);
    if (!p.File)
        throw EArchiveError("Cannot create file " + p.DestPath, WriteFailReason(TFileStream::LastErrorCode()),
                            p.ItemPath);
    p.File->CopyFrom(*p.Existing, p.Compared);
    p.Existing.reset();
}

THResult T7zReader::PrepareOperation(int32_t) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetOperationResult(int32_t opRes) noexcept
{
    try {
        if (FeedStream) {
            // The writer settles the item behind everything handed over before it.
            EndFeed();
            if (CurrentIsLink) {
                CurrentIsLink = false;
                PostLinkContent(CurrentLink);
                opRes = kOpResultOK;
            }
            Writer->Post([this, opRes] {
                try {
                    FinishPendingFile(opRes);
                } catch (...) {
                    FailFromCurrentException();
                }
            });
            if (opRes != kOpResultOK) {
                DecoderStopped = true;
                return kE_ABORT;
            }
            return Stopping() ? kE_ABORT : kS_OK;
        }
        if (opRes != kOpResultOK) {
            const std::string label = HaveCurrentIndex ? ItemLabel(CurrentIndex) : std::string("an item");
            return Fail("Cannot extract " + label + ": " + OperationResultText(opRes), ReasonForResult(opRes),
                        HaveCurrentIndex ? label : std::string());
        }
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult T7zReader::FinishPendingFile(int32_t opRes)
{
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    if (!p)
        return kS_OK;  // never created: its failure is kept already
    if (WriterFailed || opRes != kOpResultOK) {
        p->Existing.reset();
        p->File.reset();
        if (!p->TempPath.empty())
            DeleteFile(p->TempPath);
        if (WriterFailed)
            return kE_ABORT;
        return Fail("Cannot extract " + p->ItemPath + ": " + OperationResultText(opRes), ReasonForResult(opRes),
                    p->ItemPath);
    }
    try {
        if (p->Existing) {
            if (p->Compared == p->ExistingSize)
                p->Unchanged = true;
            else
                StopComparing(*p);  // the item is shorter than the file there
        }
        if (p->Unchanged)
            p->Existing.reset();
        else if (!p->Unnamed)
            p->File->Close();
    } catch (...) {
        p->Existing.reset();
        p->File.reset();
        if (!p->TempPath.empty())
            DeleteFile(p->TempPath);
        return FailFromCurrentException();
    }
    if (!p->Unnamed)
        p->File.reset();
    // A replaced file keeps the permissions it had (a script stays runnable, a private
    // file private).
    if (!p->Unchanged && !p->Unnamed)
        TFilePermissions::CopyPermissionBits(p->DestPath, p->TempPath);
    // The hook sees a kept file too: it is this installation's file from now on.
    if (ReplaceHook) {
        try {
            ReplaceHook->BeforeReplace(p->DestPath, p->RelativePath);
        } catch (...) {
            if (!p->Unchanged)
                DeleteFile(p->TempPath);
            throw;
        }
    }
    const THResult placed = p->Unnamed ? PlaceUnnamedFile(*p) : p->Unchanged ? kS_OK : RenameIntoPlace(*p);
    if (placed != kS_OK)
        return placed;
    if (ReplaceHook)
        ReplaceHook->AfterReplace(p->DestPath, p->RelativePath, p->Size, p->Digest.HexDigest());
    return kS_OK;
}

// Links a finished new file into place. Where that cannot be done (a file appeared there
// meanwhile, or names cannot be given through /proc), its bytes go through a temporary
// name and a rename, as for a replaced file.
THResult T7zReader::PlaceUnnamedFile(TPendingFile& p)
{
    if (p.File->LinkAs(p.DestPath)) {
        try {
            p.File->Close();
        } catch (...) {
            // A late write error: the file is not good, and nothing stood there before it.
            p.File.reset();
            DeleteFile(p.DestPath);
            return FailFromCurrentException();
        }
        p.File.reset();
        return kS_OK;
    }
    if (TFileStream::LastErrorCode() != EEXIST)
        LinkingWorks = false;
    try {
        std::unique_ptr<TFileStream> named = TFileStream::CreateTemp(ExtractFilePath(p.DestPath), p.TempPath);
        if (!named)
            throw EArchiveError("Cannot create file " + p.DestPath, WriteFailReason(TFileStream::LastErrorCode()),
                                p.ItemPath);
        named->CopyFrom(*p.File, p.File->Size());
        named->Close();
    } catch (...) {
        p.File.reset();
        if (!p.TempPath.empty())
            DeleteFile(p.TempPath);
        return FailFromCurrentException();
    }
    p.File.reset();
    return RenameIntoPlace(p);
}

THResult T7zReader::RenameIntoPlace(TPendingFile& p)
{
    if (TFileStream::ReplaceFile(p.TempPath, p.DestPath))
        return kS_OK;
    const TFailReason reason = WriteFailReason(TFileStream::LastErrorCode());
    DeleteFile(p.TempPath);
    return Fail("Cannot create file " + p.DestPath, reason, p.ItemPath);
}

void T7zReader::DiscardPendingFile() noexcept
{
    if (!Pending)
        return;
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    p->Existing.reset();
    p->File.reset();
    if (!p->TempPath.empty())
        DeleteFile(p->TempPath);
}

THResult T7zReader::CryptoGetTextPassword(TBStr* password) noexcept
{
    if (!password)
        return kE_INVALIDARG;
    *password = nullptr;
    try {
        if (PasswordKnown) {
            *password = AllocBStr(Password.data(), static_cast<uint32_t>(Password.size()));
            return kS_OK;
        }
        if (PasswordFn) {
            std::wstring text;
            const int32_t rc = PasswordFn(PasswordSender, text);
            if (rc != 0)
                return rc;
            *password = AllocBStr(text.data(), static_cast<uint32_t>(text.size()));
            Password = text;
            PasswordKnown = true;
            return kS_OK;
        }
        PasswordRefused = true;
        return kS_FALSE;
    } catch (...) {
        return FailFromCurrentException();
    }
}
