#pragma once

#include <memory>
#include <string>

#include "archive/I7zReader.h"
#include "archive/T7zFormat.h"
#include "archive/T7zStream.h"
#include "archive/TPendingError.h"

class TFileStream;

// The reader: one archive of one format through one load of the library. It is also the
// callback object the library calls during Open and Extract. Callbacks never let an
// exception out: they keep its text in Errors and answer a failure code, and the
// operation raises the text once the library call has returned.
class T7zReader final : public T7zFormat,
                        public I7zReader,
                        public IArchiveOpenSetSubArchiveName,
                        public IArchiveOpenVolumeCallback,
                        public ICryptoGetTextPassword,
                        public IArchiveExtractCallback,
                        public IArchiveOpenCallback {
public:
    explicit T7zReader(const std::string& libName);

    // IUnknown, for every interface above.
    THResult QueryInterface(const TGUID& iid, void** out) noexcept override;
    uint32_t AddRef() noexcept override;
    uint32_t Release() noexcept override;

    // I7zReader
    void OpenArchiveFile(const std::string& fileName) override;
    void OpenArchiveStream(IInStream* stream) override;
    void CloseArchive() override;
    uint32_t ItemCount() override;
    std::wstring ItemPath(uint32_t index) override;
    std::wstring ItemName(uint32_t index) override;
    uint64_t ItemSize(uint32_t index) override;
    bool ItemIsFolder(uint32_t index) override;
    TComPtr<IInArchive> LibraryArchive() override;
    void ExtractItemToStream(uint32_t index, THostStream& hostStream, bool testOnly) override;
    void ExtractItemList(const uint32_t* indices, uint32_t count, bool testOnly, void* sender,
                         TArchiveOutStreamFn fn) override;
    void ExtractEveryItem(bool testOnly, void* sender, TArchiveOutStreamFn fn) override;
    void ExtractAllToFolder(const std::string& folder) override;
    void SetPasswordSource(void* sender, TArchivePasswordFn fn) override;
    void SetPasswordText(const std::wstring& password) override;
    void SetProgressSink(void* sender, TArchiveProgressFn fn) override;
    void SetWriteObserver(void* sender, TArchiveWriteObserverFn fn) override;
    void SetReplaceHook(IItemReplaceHook* hook) override;
    void SetFormatId(const TGUID& id) override;
    TGUID GetFormatId() override;

    // IArchiveOpenCallback
    THResult SetTotal(const uint64_t* files, const uint64_t* bytes) noexcept override;
    THResult SetCompleted(const uint64_t* files, const uint64_t* bytes) noexcept override;
    // IArchiveOpenVolumeCallback
    THResult GetProperty(TPropId propId, TPropVariant* value) noexcept override;
    THResult GetStream(const wchar_t* name, IInStream** inStream) noexcept override;
    // IArchiveOpenSetSubArchiveName
    THResult SetSubArchiveName(const wchar_t* name) noexcept override;
    // IProgress
    THResult SetTotal(uint64_t total) noexcept override;
    THResult SetCompleted(const uint64_t* completeValue) noexcept override;
    // IArchiveExtractCallback
    THResult GetStream(uint32_t index, ISequentialOutStream** outStream, int32_t askExtractMode) noexcept override;
    THResult PrepareOperation(int32_t askExtractMode) noexcept override;
    THResult SetOperationResult(int32_t opRes) noexcept override;
    // ICryptoGetTextPassword
    THResult CryptoGetTextPassword(TBStr* password) noexcept override;

private:
    ~T7zReader() override;

    // The file of the item being written by ExtractAllToFolder: a temporary file beside
    // its destination, renamed over it only when the library reports the item good.
    struct TPendingFile {
        std::string ItemPath;     // as the archive names it, for messages
        std::string RelativePath; // below the destination folder
        std::string TempPath;
        std::string DestPath;
        std::unique_ptr<TFileStream> File;
        TComPtr<T7zStream> Stream;
    };

    void OpenInStream(IInStream* stream);
    THResult OpenWithLibrary(IInStream* stream);
    void DropLibraryArchive();
    void ReadProperty(uint32_t index, TPropId propId, TPropVariant& value);
    std::wstring ReadText(uint32_t index, TPropId propId);
    std::wstring ItemText(uint32_t index, TPropId propId);
    // One Extract call: clears the error slot, runs, cleans up, raises what failed.
    void RunExtract(const uint32_t* indices, uint32_t count, bool testOnly);
    void RaiseIfFailed(THResult code);
    THResult GetFolderStream(uint32_t index, ISequentialOutStream** outStream);
    THResult FinishPendingFile(int32_t opRes);
    void DiscardPendingFile() noexcept;
    std::string ItemLabel(uint32_t index) noexcept;
    THResult Fail(const std::string& message) noexcept;
    THResult FailFromCurrentException() noexcept;

    TComPtr<IInArchive> LibArchive;
    void* PasswordSender = nullptr;
    TArchivePasswordFn PasswordFn = nullptr;
    void* ProgressSender = nullptr;
    TArchiveProgressFn ProgressFn = nullptr;
    THostStream* ItemStream = nullptr;
    bool PasswordKnown = false;
    std::wstring Password;
    void* OutStreamSender = nullptr;
    TArchiveOutStreamFn OutStreamFn = nullptr;
    std::string ExtractFolder;

    void* ObserverSender = nullptr;
    TArchiveWriteObserverFn ObserverFn = nullptr;
    IItemReplaceHook* ReplaceHook = nullptr;
    std::shared_ptr<TPendingError> Errors = std::make_shared<TPendingError>();
    std::unique_ptr<TPendingFile> Pending;
    // How the library reads zip names stored without the UTF-8 flag (see LegacyZipName.h).
    bool LibraryReadsUtf8 = false;
    uint32_t CurrentIndex = 0;
    bool HaveCurrentIndex = false;
};
