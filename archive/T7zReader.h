#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/I7zReader.h"
#include "archive/T7zFormat.h"
#include "archive/TExtractCallback.h"
#include "archive/TItemProperties.h"
#include "archive/TVolumeSource.h"

// The reader: one archive of one format through one load of the library. It is also the
// callback object the library calls during Open and Extract; what its extract callback
// does is TExtractCallback's, the placing of files TFilePlacer's, what the archive and
// its items say TArchiveChecks' and TItemProperties'. A non-solid archive is extracted by
// two readers at once when the machine has the cores for it (TTwoReaderPlan).
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

    // The items of the opened archive as the library describes them.
    TItemProperties Items();

private:
    ~T7zReader() override;

    void OpenInStream(IInStream* stream);
    THResult OpenWithLibrary(IInStream* stream);
    void DropLibraryArchive();
    // One Extract call: to the folder through the placing of files when onWriter.
    void RunExtract(const uint32_t* indices, uint32_t count, bool testOnly, bool onWriter = false,
                    bool writerThread = true);
    void RaiseIfFailed(THResult code);
    void ExtractOnTwoReaders(const std::vector<uint32_t>& first, const std::vector<uint32_t>& second);

    TComPtr<IInArchive> LibArchive;
    TArchivePasswordFn PasswordFn = nullptr;
    void* PasswordSender = nullptr;
    TArchiveProgressFn ProgressFn = nullptr;
    void* ProgressSender = nullptr;
    THostStream* ItemStream = nullptr;
    bool PasswordKnown = false;
    std::wstring Password;
    TArchiveOutStreamFn OutStreamFn = nullptr;
    void* OutStreamSender = nullptr;
    std::string ExtractFolder;

    TExtractCallback Extract;
    // The size of the stream opened last, for the physical size check; 0 when unknown.
    uint64_t OpenedSize = 0;
    bool HaveOpenedSize = false;
    std::string LibraryName;      // for a second reader of the same archive
    std::string ArchiveFileName;  // what OpenArchiveFile opened; empty for a caller's stream
    TVolumeSource Volumes;
    std::string MissingVolume;  // the first part the library asked for and did not get
    // How the library reads zip names stored without the UTF-8 flag (see LegacyZipName.h).
    bool LibraryReadsUtf8 = false;
};
