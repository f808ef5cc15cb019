#include "archive/T7zReader.h"

#include "archive/ArchiveFormats.h"
#include "archive/EArchiveError.h"
#include "archive/TArchiveChecks.h"
#include "archive/TArchiveLoad.h"
#include "archive/TScopeExit.h"
#include "archive/TTwoReaderPlan.h"
#include "archive/WideText.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TFileStream.h"

namespace {
constexpr uint64_t kMaxCheckStartPosition = 0x100000;
constexpr uint32_t kAllItems = 0xFFFFFFFFu;
constexpr uint32_t kSeekSet = 0;
constexpr uint32_t kSeekCurrent = 1;
}  // namespace

// The library settles how it reads 8-bit names when it is loaded, by the locale of that
// moment; the reader notes the same at the same time.
T7zReader::T7zReader(const std::string& libName)
    : T7zFormat(libName), LibraryName(libName), LibraryReadsUtf8(LocaleCodesetIsUtf8())
{
}

T7zReader::~T7zReader()
{
    // Released without Close, before the base unloads the library.
    LibArchive.Reset();
}

THResult T7zReader::QueryInterface(const TGUID& iid, void** out) noexcept
{
    if (!out)
        return kE_INVALIDARG;
    *out = nullptr;
    if (iid == IID_IUnknown7z || iid == IID_I7zReader)
        *out = static_cast<I7zReader*>(this);
    else if (iid == IID_IArchiveOpenCallback)
        *out = static_cast<IArchiveOpenCallback*>(this);
    else if (iid == IID_IArchiveOpenVolumeCallback)
        *out = static_cast<IArchiveOpenVolumeCallback*>(this);
    else if (iid == IID_IArchiveOpenSetSubArchiveName)
        *out = static_cast<IArchiveOpenSetSubArchiveName*>(this);
    else if (iid == IID_IArchiveExtractCallback || iid == IID_IProgress)
        *out = static_cast<IArchiveExtractCallback*>(this);
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

// --- opening -------------------------------------------------------------------------

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

TItemProperties T7zReader::Items()
{
    return TItemProperties(*LibraryArchive(), FormatId, ArchiveFileName, LibraryReadsUtf8);
}

void T7zReader::OpenArchiveFile(const std::string& fileName)
{
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(fileName);
    if (!file) {
        const TFailReason reason = FailReasonForSystemError(TFileStream::LastErrorCode());
        throw EArchiveError("Cannot open file " + fileName,
                            reason == TFailReason::ArchiveMissing ? reason : TFailReason::Other);
    }
    TComPtr<T7zStream> stream(new T7zStream(file.release(), TStreamOwnership::Owned, Extract.ErrorSlot()));
    ArchiveFileName.clear();
    Volumes.Start(fileName);
    OpenInStream(static_cast<IInStream*>(stream.Get()));
    if (!TArchiveChecks::RarComplete(*LibraryArchive(), fileName)) {
        CloseArchive();
        throw EArchiveError("Unexpected end of archive", TFailReason::Truncated);
    }
    ArchiveFileName = fileName;
    if (FormatId != CLSID_Format7z)
        return;
    // The first file with data shows how the archive's packed stream was cut.
    const TItemProperties items = Items();
    const uint32_t count = items.Count();
    uint32_t first = 0;
    while (first < count && (items.IsFolder(first) || items.Size(first) == 0))
        ++first;
    if (first < count)
        TArchiveChecks::ChooseDecoderThreads(*LibraryArchive(), items.Method(first), fileName);
}

void T7zReader::OpenArchiveStream(IInStream* stream)
{
    ArchiveFileName.clear();
    Volumes.Start(std::string());
    OpenInStream(stream);
}

void T7zReader::OpenInStream(IInStream* stream)
{
    if (!stream)
        throw EArchiveError("No archive stream given");
    Extract.ForgetCurrentItem();
    HaveOpenedSize = false;
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
    if (rewindable && rc == kS_FALSE && !Extract.ErrorSlot()->Any() && !Extract.PasswordWasRefused()) {
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
    try {
        MissingVolume = TArchiveChecks::MissingVolume(*LibraryArchive());
        TArchiveChecks::CheckState(*LibraryArchive(), HaveOpenedSize, OpenedSize);
    } catch (...) {
        // A damaged archive is not left open half-usable.
        CloseArchive();
        throw;
    }
}

THResult T7zReader::OpenWithLibrary(IInStream* stream)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    Extract.ErrorSlot()->Clear();
    return archive->Open(stream, &kMaxCheckStartPosition, static_cast<IArchiveOpenCallback*>(this));
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

// --- items -----------------------------------------------------------------------------

uint32_t T7zReader::ItemCount()
{
    return Items().Count();
}

std::wstring T7zReader::ItemPath(uint32_t index)
{
    return Items().Path(index);
}

std::wstring T7zReader::ItemName(uint32_t index)
{
    return Items().Name(index);
}

uint64_t T7zReader::ItemSize(uint32_t index)
{
    return Items().Size(index);
}

bool T7zReader::ItemIsFolder(uint32_t index)
{
    return Items().IsFolder(index);
}

// --- extracting ------------------------------------------------------------------------

void T7zReader::RunExtract(const uint32_t* indices, uint32_t count, bool testOnly, bool onWriter,
                           bool writerThread)
{
    TComPtr<IInArchive> archive = LibraryArchive();
    TExtractCallback::TRun run;
    run.ItemStream = ItemStream;
    run.OutStreamSender = OutStreamSender;
    run.OutStreamFn = OutStreamFn;
    run.Folder = ExtractFolder;
    run.ProgressSender = ProgressSender;
    run.ProgressFn = ProgressFn;
    run.PasswordAvailable = PasswordKnown || PasswordFn;
    run.MissingVolume = MissingVolume;
    const THResult rc = Extract.Run(*archive, static_cast<IArchiveExtractCallback*>(this), run, indices, count,
                                    testOnly, onWriter, writerThread);
    RaiseIfFailed(rc);
    // Damage found only while reading (a zip whose end went missing) shows here.
    TArchiveChecks::CheckState(*archive, HaveOpenedSize, OpenedSize);
}

void T7zReader::RaiseIfFailed(THResult code)
{
    if (!LibArchive) {
        Extract.RaiseIfFailed(code, nullptr);
        return;
    }
    const TItemProperties items = Items();
    Extract.RaiseIfFailed(code, &items);
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
    TScopeExit reset([this] {
        OutStreamSender = nullptr;
        OutStreamFn = nullptr;
    });
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
    const bool twoReaders = !ArchiveFileName.empty() && !PasswordFn && TArchiveLoad::CoreForSecondDecoder() &&
                            !TArchiveChecks::IsSolid(*LibraryArchive()) && TTwoReaderPlan::Make(Items(), first, second);
    if (twoReaders)
        ExtractOnTwoReaders(first, second);
    else
        RunExtract(nullptr, kAllItems, false, true);
}

void T7zReader::ExtractOnTwoReaders(const std::vector<uint32_t>& first, const std::vector<uint32_t>& second)
{
    // The second reader has its own load of the library, file stream and archive object.
    TComPtr<T7zReader> other;
    try {
        other = TComPtr<T7zReader>(new T7zReader(LibraryName));
        other->FormatId = FormatId;
        other->Extract.ShareErrorSlot(Extract);  // one slot: the first failure stops both halves
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
        RunExtract(nullptr, kAllItems, false, true);
        return;
    }
    other->PasswordKnown = PasswordKnown;
    other->Password = Password;
    other->ExtractFolder = ExtractFolder;
    auto half = [](T7zReader& reader, const std::vector<uint32_t>& items) {
        return [&reader, &items] {
            reader.RunExtract(items.data(), static_cast<uint32_t>(items.size()), false, true, false);
        };
    };
    Extract.RunTwoHalves(other->Extract, ProgressSender, ProgressFn, half(*this, first), half(*other, second));
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
    Extract.SetWriteObserver(sender, fn);
}

void T7zReader::SetReplaceHook(IItemReplaceHook* hook)
{
    Extract.SetReplaceHook(hook);
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
        if (propId == kpidName && !Volumes.FirstName().empty()) {
            const std::wstring name = SystemToWide(Volumes.FirstName());
            value->vt = kVT_BSTR;
            value->bstrVal = AllocBStr(name.c_str(), static_cast<uint32_t>(name.size()));
        }
        return kS_OK;
    } catch (...) {
        return Extract.FailFromCurrentException();
    }
}

THResult T7zReader::GetStream(const wchar_t* name, IInStream** inStream) noexcept
{
    if (!inStream)
        return kE_INVALIDARG;
    *inStream = nullptr;
    try {
        std::unique_ptr<TFileStream> file = Volumes.Open(name ? WideToSystem(name) : std::string());
        if (!file)
            return kS_FALSE;
        TComPtr<T7zStream> stream(new T7zStream(file.release(), TStreamOwnership::Owned, Extract.ErrorSlot()));
        *inStream = static_cast<IInStream*>(stream.Detach());
        return kS_OK;
    } catch (...) {
        return Extract.FailFromCurrentException();
    }
}

THResult T7zReader::SetSubArchiveName(const wchar_t*) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetTotal(uint64_t total) noexcept
{
    return Extract.SetTotal(total);
}

THResult T7zReader::SetCompleted(const uint64_t* completeValue) noexcept
{
    return Extract.SetCompleted(completeValue);
}

THResult T7zReader::GetStream(uint32_t index, ISequentialOutStream** outStream, int32_t askExtractMode) noexcept
{
    try {
        return Extract.GetStream(Items(), index, outStream, askExtractMode);
    } catch (...) {
        return Extract.FailFromCurrentException();
    }
}

THResult T7zReader::PrepareOperation(int32_t) noexcept
{
    return kS_OK;
}

THResult T7zReader::SetOperationResult(int32_t opRes) noexcept
{
    try {
        return Extract.SetOperationResult(Items(), opRes);
    } catch (...) {
        return Extract.FailFromCurrentException();
    }
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
        Extract.NotePasswordRefused();
        return kS_FALSE;
    } catch (...) {
        return Extract.FailFromCurrentException();
    }
}
