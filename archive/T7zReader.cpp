#include "archive/T7zReader.h"

#include <exception>

#include "archive/ArchiveBinding.h"
#include "archive/IItemReplaceHook.h"
#include "archive/ItemPathCheck.h"
#include "archive/TRarEndCheck.h"
#include "archive/WideText.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TFilePermissions.h"
#include "platform/TFileStream.h"

namespace {
constexpr uint64_t kMaxCheckStartPosition = 0x100000;
constexpr uint32_t kAllItems = 0xFFFFFFFFu;

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

T7zReader::T7zReader(const std::string& libName) : T7zFormat(libName) {}

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
    OpenInStream(static_cast<IInStream*>(stream.Get()));
    CheckRarEnd(fileName);
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
    OpenInStream(stream);
}

void T7zReader::OpenInStream(IInStream* stream)
{
    if (!stream)
        throw EArchiveError("No archive stream given");
    TComPtr<IInArchive> archive = LibraryArchive();
    Errors->Clear();
    HaveCurrentIndex = false;
    HaveOpenedSize = false;
    IStreamGetSize* sizer = nullptr;
    if (stream->QueryInterface(IID_IStreamGetSize, reinterpret_cast<void**>(&sizer)) == kS_OK && sizer) {
        HaveOpenedSize = sizer->GetSize(&OpenedSize) == kS_OK;
        sizer->Release();
    }
    const THResult rc = archive->Open(stream, &kMaxCheckStartPosition, static_cast<IArchiveOpenCallback*>(this));
    RaiseIfFailed(rc);
    try {
        CheckArchiveState();
    } catch (...) {
        // A damaged archive is not left open half-usable.
        CloseArchive();
        throw;
    }
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
    const uint32_t harmless = kArcFlagDataAfterEnd | kArcFlagUnconfirmedStart | kArcFlagUnsupportedFeature;
    const uint32_t bad = errors | (warnings & ~harmless);
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

    bool havePhy = false, haveOffset = false;
    const uint64_t phy = number(kpidPhySize, havePhy);
    const uint64_t offset = number(kpidOffset, haveOffset);
    if (havePhy && HaveOpenedSize && phy + (haveOffset ? offset : 0) > OpenedSize)
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
}

void T7zReader::CloseArchive()
{
    PasswordKnown = false;
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

std::wstring T7zReader::ItemPath(uint32_t index)
{
    TPropVariant v;
    ReadProperty(index, kpidPath, v);
    std::wstring s = (v.vt == kVT_BSTR && v.bstrVal) ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    return s;
}

std::wstring T7zReader::ItemName(uint32_t index)
{
    TPropVariant v;
    ReadProperty(index, kpidName, v);
    std::wstring s = (v.vt == kVT_BSTR && v.bstrVal) ? std::wstring(v.bstrVal) : std::wstring();
    ClearPropVariant(v);
    return s;
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
    Errors->Clear();
    HaveCurrentIndex = false;
    PasswordRefused = false;
    const THResult rc = archive->Extract(indices, count, testOnly ? 1 : 0,
                                         static_cast<IArchiveExtractCallback*>(this));
    // An item the library stopped in the middle of leaves nothing behind.
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
    if (Errors->Take(text, reason, item)) {
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

THResult T7zReader::Fail(const std::string& message, TFailReason reason, const std::string& item) noexcept
{
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
    try {
        throw;
    } catch (const EArchiveError& e) {
        Errors->Set(e.what(), e.Reason(), e.Item());
    } catch (const Exception& e) {
        Errors->Set(e.what(), WriteFailReason(e.SystemError()), std::string());
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
        result = Fail("Item continues in another volume: " + item, TFailReason::SplitItem, item);
        return true;
    }
    if (ItemFlag(index, kpidEncrypted) && !PasswordKnown && !PasswordFn) {
        const std::string item = ItemLabel(index);
        result = Fail("Item is encrypted: " + item, TFailReason::Encrypted, item);
        return true;
    }
    return false;
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
    const std::string item = WideToSystem(itemPath);
    if (relative.empty())
        return Fail("Cannot create file " + dest, TFailReason::Other, item);
    const std::string folder = ExtractFilePath(dest);
    ForceDirectories(folder);  // a failure shows as the file creation's
    if (DirectoryExists(dest))
        return Fail("Cannot create file " + dest, TFailReason::Other, item);
    if (TFileStream::IsReadOnlyFile(dest))
        return Fail("Cannot create file " + dest, TFailReason::ReadOnly, item);

    auto pending = std::make_unique<TPendingFile>();
    pending->File = TFileStream::CreateTemp(folder, pending->TempPath);
    if (!pending->File)
        return Fail("Cannot create file " + dest, WriteFailReason(TFileStream::LastErrorCode()), item);
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
    // The library may still hold the stream; it must not reach the file any more.
    p->Stream->DetachHost();
    p->Stream.Reset();
    if (opRes != kOpResultOK) {
        p->File.reset();
        DeleteFile(p->TempPath);
        return Fail("Cannot extract " + p->ItemPath + ": " + OperationResultText(opRes), ReasonForResult(opRes),
                    p->ItemPath);
    }
    try {
        p->File->Close();
    } catch (...) {
        p->File.reset();
        DeleteFile(p->TempPath);
        throw;
    }
    p->File.reset();
    // A replaced file keeps the permissions it had (a script stays runnable, a private
    // file private).
    TFilePermissions::CopyPermissionBits(p->DestPath, p->TempPath);
    if (ReplaceHook) {
        try {
            ReplaceHook->BeforeReplace(p->DestPath, p->RelativePath);
        } catch (...) {
            DeleteFile(p->TempPath);
            throw;
        }
    }
    if (!TFileStream::ReplaceFile(p->TempPath, p->DestPath)) {
        const TFailReason reason = WriteFailReason(TFileStream::LastErrorCode());
        DeleteFile(p->TempPath);
        return Fail("Cannot create file " + p->DestPath, reason, p->ItemPath);
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
        PasswordRefused = true;
        return kS_FALSE;
    } catch (...) {
        return FailFromCurrentException();
    }
}
