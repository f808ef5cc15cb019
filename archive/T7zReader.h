#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "archive/I7zReader.h"
#include "archive/T7zFormat.h"
#include "archive/T7zStream.h"
#include "archive/TPendingError.h"
#include "platform/TXxh3.h"

class TFileStream;
class TItemWriter;
class TWriterFeed;
struct TWriteChunk;

// The reader: one archive of one format through one load of the library. It is also the
// callback object the library calls during Open and Extract. Callbacks never let an
// exception out: they keep its text in Errors and answer a failure code, and the
// operation raises the text once the library call has returned.
//
// Extracting to a folder, the library's thread only decodes: the items' files are created,
// written, checked and renamed on a writer thread, in item order. A failure found there
// stops the decoding at its next callback; failures found while decoding are queued
// behind the items before them, so the first failing item is the one reported. A
// non-solid archive is extracted by two readers at once when the machine has the cores
// for it, each over half of the items.
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
    // its destination, renamed over it only when the library reports the item good. While
    // the data matches a file already at the destination, nothing is written: an item
    // that turns out the same keeps that file as it is.
    struct TPendingFile {
        std::string ItemPath;     // as the archive names it, for messages
        std::string RelativePath; // below the destination folder
        std::string TempPath;
        std::string DestPath;
        std::unique_ptr<TFileStream> File;
        std::unique_ptr<TFileStream> Existing;  // being compared against, not yet written
        uint64_t ExistingSize = 0;
        uint64_t Compared = 0;
        bool Unchanged = false;  // nothing to rename: the destination already holds these bytes
        bool Unnamed = false;  // File has no name yet: it is linked into place when good
        // What the item gave, for the replace hook.
        TXxh3 Digest;
        uint64_t Size = 0;
    };

    void OpenInStream(IInStream* stream);
    THResult OpenWithLibrary(IInStream* stream);
    void DropLibraryArchive();
    void ReadProperty(uint32_t index, TPropId propId, TPropVariant& value);
    std::wstring ReadText(uint32_t index, TPropId propId);
    std::wstring ItemText(uint32_t index, TPropId propId);
    bool ItemFlag(uint32_t index, TPropId propId);
    // Raises when the library's archive-level flags, or a physical size beyond the end of
    // the file, say that the archive is damaged or incomplete.
    void CheckArchiveState();
    // Raises when the file is a RAR archive that stops before its end-of-archive block.
    void CheckRarEnd(const std::string& fileName);
    // One decoding thread for a 7z whose LZMA2 is a single block.
    void ChooseDecoderThreads(const std::string& fileName);
    // An item that cannot be written whole: split over volumes, or encrypted without a
    // password. Fails (keeping the error) and answers true; false when the item may go.
    bool RefuseItem(uint32_t index, THResult& result);
    // One Extract call: clears the error slot, runs, cleans up, raises what failed.
    void RunExtract(const uint32_t* indices, uint32_t count, bool testOnly);
    void RaiseIfFailed(THResult code);
    // The listed items (or all) to ExtractFolder through a writer thread (or, without one,
    // written on the calling thread).
    void ExtractToFolderOnWriter(const uint32_t* indices, uint32_t count, bool writerThread = true);
    // Two disjoint halves of the items, balanced by size, when a second reader pays.
    bool PlanTwoReaders(std::vector<uint32_t>& first, std::vector<uint32_t>& second);
    bool ArchiveIsSolid();
    uint64_t ItemDecoderMemory(uint32_t index);
    void ExtractOnTwoReaders(const std::vector<uint32_t>& first, const std::vector<uint32_t>& second);
    bool Stopping() const noexcept;

    // Decoding side of an item written through the writer.
    THResult GetFolderStream(uint32_t index, ISequentialOutStream** outStream);
    void EndFeed() noexcept;
    void AbandonFeed() noexcept;
    // Writer side: these run on the writer thread, one item at a time.
    void OpenPendingFile(const std::string& itemPath, const std::string& relativePath,
                         const std::string& destPath, uint64_t size);
    void WritePendingChunk(const TWriteChunk& chunk);
    void StopComparing(TPendingFile& p);
    THResult PlaceUnnamedFile(TPendingFile& p);
    // The finished temporary file over its destination.
    THResult RenameIntoPlace(TPendingFile& p);
    // Settles the item: replaces the destination with a completely good copy, keeps it
    // when the copy is the same, or drops the copy.
    THResult FinishPendingFile(int32_t opRes);
    void DiscardPendingFile() noexcept;

    std::string ItemLabel(uint32_t index) noexcept;
    // The writer's: makes the item's folder, telling the replace hook which ones it made.
    void EnsureFolder(const std::string& folder);
    bool UnicodePathRejected(uint32_t index);
    // After an open: which part of a volume set the library asked for and did not get.
    void NoteMissingVolume();
    // Keeps the failure (in item order while a writer runs) and answers E_ABORT.
    THResult Fail(const std::string& message, TFailReason reason = TFailReason::Other,
                  const std::string& item = std::string()) noexcept;
    THResult FailFromCurrentException() noexcept;
    TFailReason ReasonForResult(int32_t opRes) const noexcept;

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
    std::unique_ptr<TPendingFile> Pending;  // the writer thread's item
    uint32_t CurrentIndex = 0;
    bool HaveCurrentIndex = false;
    // The size of the stream opened last, for the physical size check; 0 when unknown.
    uint64_t OpenedSize = 0;
    bool HaveOpenedSize = false;
    // A password was asked for and none could be given.
    std::atomic<bool> PasswordRefused{false};

    std::string LibraryName;      // for a second reader of the same archive
    std::string ArchiveFileName;  // what OpenArchiveFile opened; empty for a caller's stream
    // Where the library may look for further parts of a volume set: the opened file's folder
    // and name; empty for a caller's stream.
    std::string VolumeFolder;
    std::string VolumeFirst;
    unsigned VolumesGiven = 0;
    std::string MissingVolume;  // the first part the library asked for and did not get
    // RAR5 link entries carry no data the library can give whole: their content is made
    // here, as other formats' link entries come out (a symbolic link's target as text, a
    // hard link a copy of the file it names). By item index, for the item being extracted.
    struct TLinkItem {
        bool Hard = false;
        std::string Target;
    };
    bool LinkItem(uint32_t index, TLinkItem& link);
    void PostLinkContent(const TLinkItem& link);
    bool CurrentIsLink = false;
    TLinkItem CurrentLink;
    // How the library reads zip names stored without the UTF-8 flag (see LegacyZipName.h).
    bool LibraryReadsUtf8 = false;
    std::unique_ptr<TItemWriter> Writer;  // while an extraction to a folder runs
    TComPtr<T7zStream> FeedStream;        // the library's stream for the item being decoded
    TWriterFeed* Feed = nullptr;          // its host, owned by it
    std::atomic<bool> DecoderStopped{false};  // a failure is queued behind earlier items
    std::atomic<bool> WriterFailed{false};
    std::atomic<bool> LinkingWorks{true};  // new files can be linked into place here
    std::vector<char> CompareBuffer;  // the writer's, for reading a file already there
    std::string EnsuredFolder;        // the writer's: the folder made for the last item
    bool SharedErrors = false;  // one of two halves: the caller of both raises the error
};
