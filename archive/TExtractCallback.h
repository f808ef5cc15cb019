#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/ArchiveInterfaces.h"
#include "archive/I7zReader.h"
#include "archive/T7zStream.h"
#include "archive/TFilePlacer.h"
#include "archive/TPendingError.h"

class TItemProperties;
class TItemWriter;
class TWriterFeed;

// What the reader does when the library calls its extract callback: hands out the item's
// stream (the caller's, one the caller gives per item, or a file below a folder), keeps
// failures, reports progress. No exception leaves a callback: its text is kept and the
// callback answers a failure code; the text is raised once the library call has returned.
//
// Extracting to a folder, the library's thread only decodes: the items' files are placed
// on a writer thread, in item order. A failure found there stops the decoding at its next
// callback; failures found while decoding are queued behind the items before them, so the
// first failing item is the one reported.
class TExtractCallback {
public:
    TExtractCallback();
    ~TExtractCallback();
    TExtractCallback(const TExtractCallback&) = delete;
    TExtractCallback& operator=(const TExtractCallback&) = delete;

    // What one extraction is given: where its items go (the caller's stream, streams the
    // caller gives per item, or files below Folder), its progress sink, and how it treats
    // encrypted and split items.
    struct TRun {
        THostStream* ItemStream = nullptr;
        void* OutStreamSender = nullptr;
        TArchiveOutStreamFn OutStreamFn = nullptr;
        std::string Folder;
        void* ProgressSender = nullptr;
        TArchiveProgressFn ProgressFn = nullptr;
        bool PasswordAvailable = false;
        std::string MissingVolume;
    };

    void SetWriteObserver(void* sender, TArchiveWriteObserverFn fn);
    void SetReplaceHook(IItemReplaceHook* hook) { ReplaceHook = hook; }

    // The failure slot, shared with the streams the reader makes.
    const std::shared_ptr<TPendingError>& ErrorSlot() const { return Errors; }
    // One slot for two readers of one archive: the first failure stops both.
    void ShareErrorSlot(const TExtractCallback& with);
    void NotePasswordRefused() { PasswordRefused = true; }
    bool PasswordWasRefused() const { return PasswordRefused; }
    void ForgetCurrentItem() { HaveCurrentIndex = false; }

    // One Extract call of the library, with the caller's callback; settles what the
    // library left unfinished. onWriter: items to the folder through the placing of files,
    // on a thread of its own when writerThread.
    THResult Run(IInArchive& archive, IArchiveExtractCallback* callback, const TRun& run, const uint32_t* indices,
                 uint32_t count, bool testOnly, bool onWriter, bool writerThread);
    // Raises a kept failure, else a failing code; items names the current item (may be null).
    void RaiseIfFailed(THResult code, const TItemProperties* items);
    // Runs two halves of one extraction to a folder, one on another thread, each through
    // its own reader's callback; progress adds up for the given sink, and the first failure
    // stops both and is raised.
    void RunTwoHalves(TExtractCallback& other, void* progressSender, TArchiveProgressFn progressFn,
                      const std::function<void()>& mine, const std::function<void()>& theirs);

    // Keeps the failure (in item order while a writer runs) and answers E_ABORT.
    THResult Fail(const std::string& message, TFailReason reason = TFailReason::Other,
                  const std::string& item = std::string()) noexcept;
    // Called from a catch block only.
    THResult FailFromCurrentException() noexcept;

    // The library's callbacks.
    THResult SetTotal(uint64_t total) noexcept;
    THResult SetCompleted(const uint64_t* completeValue) noexcept;
    THResult GetStream(const TItemProperties& items, uint32_t index, ISequentialOutStream** outStream,
                       int32_t askExtractMode) noexcept;
    THResult SetOperationResult(const TItemProperties& items, int32_t opRes) noexcept;

private:
    bool Stopping() const noexcept;
    TFailReason ReasonForResult(int32_t opRes) const noexcept;
    // An item that cannot be written whole: split over volumes, or encrypted without a
    // password. Fails (keeping the error) and answers true; false when the item may go.
    bool RefuseItem(const TItemProperties& items, uint32_t index, THResult& result);
    // Decoding side of an item written through the writer.
    THResult GetFolderStream(const TItemProperties& items, uint32_t index, ISequentialOutStream** outStream);
    void EndFeed() noexcept;
    void AbandonFeed() noexcept;
    // A task for the writer thread; what it raises is kept as the item's failure, and the
    // item's file goes.
    void PostToWriter(std::function<void()> task);

    std::shared_ptr<TPendingError> Errors = std::make_shared<TPendingError>();
    bool SharedErrors = false;  // one of two halves: the caller of both raises the error
    void* ObserverSender = nullptr;
    TArchiveWriteObserverFn ObserverFn = nullptr;
    IItemReplaceHook* ReplaceHook = nullptr;
    TRun Current;  // during Run
    void* ProgressHalf = nullptr;  // this half's share of a sum, while two halves run
    // A password was asked for and none could be given.
    std::atomic<bool> PasswordRefused{false};

    uint32_t CurrentIndex = 0;
    bool HaveCurrentIndex = false;
    std::unique_ptr<TItemWriter> Writer;  // while an extraction to a folder runs
    TComPtr<T7zStream> FeedStream;        // the library's stream for the item being decoded
    TWriterFeed* Feed = nullptr;          // its host, owned by it
    // A RAR5 link entry carries no data the library can give whole: its content is made
    // by the placer, as other formats' link entries come out.
    bool CurrentIsLink = false;
    bool CurrentLinkHard = false;
    std::string CurrentLinkTarget;
    std::atomic<bool> DecoderStopped{false};  // a failure is queued behind earlier items
    std::atomic<bool> WriterFailed{false};
    TFilePlacer Placer{WriterFailed};
};
