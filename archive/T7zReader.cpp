#include "archive/T7zReader.h"

#include <exception>

#include "archive/ArchiveBinding.h"
#include "archive/IItemReplaceHook.h"
#include "archive/ItemPathCheck.h"
#include "archive/LegacyZipName.h"
#include "archive/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TFileStream.h"

namespace {
constexpr uint64_t kMaxCheckStartPosition = 0x100000;
constexpr uint32_t kAllItems = 0xFFFFFFFFu;
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
    case 1: return "unsupported compression method";
    case 2: return "data error";
    case 3: return "CRC error";
    case 4: return "data unavailable";
    case 5: return "unexpected end of data";
    case 6: return "data after the end of the payload";
    case 7: return "not an archive";
    case 8: return "headers error";
    case 9: return "wrong password";
    default: return "extraction error";
    }
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
    : T7zFormat(libName), LibraryReadsUtf8(LocaleCodesetIsUtf8())
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
    if (!file)
        throw EArchiveError("Cannot open file " + fileName);
    TComPtr<T7zStream> stream(new T7zStream(file.release(), TStreamOwnership::Owned, Errors));
    OpenInStream(static_cast<IInStream*>(stream.Get()));
}

void T7zReader::OpenArchiveStream(IInStream* stream)
{
    OpenInStream(stream);
}

void T7zReader::OpenInStream(IInStream* stream)
{
    if (!stream)
        throw EArchiveError("No archive stream given");
    // RAR 1.5-4.x and RAR5 have a handler each, and each answers "not my format" for the
    // other's files: a ".rar" is offered to the second before the open counts as failed.
    const TGUID asked = FormatId;
    const bool rar = asked == CLSID_FormatRar || asked == CLSID_FormatRar5;
    uint64_t start = 0;
    const bool rewindable = rar && stream->Seek(0, kSeekCurrent, &start) == kS_OK;
    THResult rc = OpenWithLibrary(stream);
    if (rewindable && rc == kS_FALSE && !Errors->Pending()) {
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
}

THResult T7zReader::OpenWithLibrary(IInStream* stream)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    Errors->Clear();
    return archive->Open(stream, &kMaxCheckStartPosition, static_cast<IArchiveOpenCallback*>(this));
}

void T7zReader::CloseArchive()
{
    PasswordKnown = false;
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
    if (FormatId == CLSID_FormatZip && HasNonAscii(s) &&
        !CharacteristicsNameUnicode(ReadText(index, kpidCharacts)))
        s = DecodeLegacyZipName(s, LibraryReadsUtf8);
    return s;
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

void T7zReader::RunExtract(const uint32_t* indices, uint32_t count, bool testOnly)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    Errors->Clear();
    HaveCurrentIndex = false;
    const THResult rc = archive->Extract(indices, count, testOnly ? 1 : 0,
                                         static_cast<IArchiveExtractCallback*>(this));
    // An item the library stopped in the middle of leaves nothing behind.
    DiscardPendingFile();
    RaiseIfFailed(rc);
}

// An error kept by a callback outranks the code: the code is only its echo, and the
// library may even answer 0 after a callback failed.
void T7zReader::RaiseIfFailed(THResult code)
{
    std::string text;
    if (Errors->Take(text))
        throw EArchiveError(text);
    CheckResult(code);
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
    RunExtract(nullptr, kAllItems, false);
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

THResult T7zReader::Fail(const std::string& message) noexcept
{
    Errors->Set(message);
    return kE_ABORT;
}

// Called from a catch block only.
THResult T7zReader::FailFromCurrentException() noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        Errors->Set(e.what());
    } catch (...) {
        Errors->Set("Unknown error in an archive callback");
    }
    return kE_ABORT;
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

THResult T7zReader::GetProperty(TPropId, TPropVariant* value) noexcept
{
    if (value)
        ClearPropVariant(*value);
    return kS_OK;
}

THResult T7zReader::GetStream(const wchar_t*, IInStream** inStream) noexcept
{
    // No further volume is ever supplied.
    if (inStream)
        *inStream = nullptr;
    return kS_OK;
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
        DiscardPendingFile();
        CurrentIndex = index;
        HaveCurrentIndex = true;
        if (askExtractMode != kAskExtract)
            return kS_OK;
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

THResult T7zReader::GetFolderStream(uint32_t index, ISequentialOutStream** outStream)
{
    const std::wstring itemPath = ItemPath(index);
    std::wstring relative;
    if (!MakeSafeRelativePath(itemPath, relative))
        return Fail("Item path leads out of the destination folder: " + WideToSystem(itemPath));
    // Folders come into being only on the way to a file.
    if (ItemIsFolder(index))
        return kS_OK;
    const std::string dest = ExtractFolder + WideToSystem(relative);
    if (relative.empty())
        return Fail("Cannot create file " + dest);
    const std::string folder = ExtractFilePath(dest);
    ForceDirectories(folder);  // a failure shows as the file creation's
    if (DirectoryExists(dest) || TFileStream::IsReadOnlyFile(dest))
        return Fail("Cannot create file " + dest);

    auto pending = std::make_unique<TPendingFile>();
    pending->File = TFileStream::CreateTemp(folder, pending->TempPath);
    if (!pending->File)
        return Fail("Cannot create file " + dest);
    pending->ItemPath = WideToSystem(itemPath);
    pending->RelativePath = WideToSystem(relative);
    pending->DestPath = dest;
    pending->Stream = TComPtr<T7zStream>(
        new T7zStream(pending->File.get(), TStreamOwnership::Borrowed, Errors));
    pending->Stream->SetWriteObserver(ObserverSender, ObserverFn);
    TComPtr<T7zStream> given = pending->Stream;
    Pending = std::move(pending);
    *outStream = static_cast<ISequentialOutStream*>(given.Detach());
    return kS_OK;
}

THResult T7zReader::PrepareOperation(int32_t) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetOperationResult(int32_t opRes) noexcept
{
    try {
        if (Pending)
            return FinishPendingFile(opRes);
        if (opRes != kOpResultOK) {
            const std::string label = HaveCurrentIndex ? ItemLabel(CurrentIndex) : std::string("an item");
            return Fail("Cannot extract " + label + ": " + OperationResultText(opRes));
        }
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult T7zReader::FinishPendingFile(int32_t opRes)
{
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    // The library may still hold the stream; it must not reach the file any more.
    p->Stream->DetachHost();
    p->Stream.Reset();
    if (opRes != kOpResultOK) {
        p->File.reset();
        DeleteFile(p->TempPath);
        return Fail("Cannot extract " + p->ItemPath + ": " + OperationResultText(opRes));
    }
    try {
        p->File->Close();
    } catch (...) {
        p->File.reset();
        DeleteFile(p->TempPath);
        throw;
    }
    p->File.reset();
    if (ReplaceHook) {
        try {
            ReplaceHook->BeforeReplace(p->DestPath, p->RelativePath);
        } catch (...) {
            DeleteFile(p->TempPath);
            throw;
        }
    }
    if (!TFileStream::ReplaceFile(p->TempPath, p->DestPath)) {
        DeleteFile(p->TempPath);
        return Fail("Cannot create file " + p->DestPath);
    }
    if (ReplaceHook)
        ReplaceHook->AfterReplace(p->DestPath, p->RelativePath);
    return kS_OK;
}

void T7zReader::DiscardPendingFile() noexcept
{
    if (!Pending)
        return;
    std::unique_ptr<TPendingFile> p = std::move(Pending);
    p->Stream->DetachHost();
    p->Stream.Reset();
    p->File.reset();
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
        return kS_FALSE;
    } catch (...) {
        return FailFromCurrentException();
    }
}
