#include "archive/TExtractCallback.h"

#include <exception>
#include <thread>

#include "archive/ArchiveFormats.h"
#include "archive/EArchiveError.h"
#include "archive/ItemPathCheck.h"
#include "archive/TItemProperties.h"
#include "archive/TItemWriter.h"
#include "archive/TProgressSum.h"
#include "archive/TScopeExit.h"
#include "archive/TWriterFeed.h"
#include "archive/WideText.h"
#include "platform/Exception.h"

namespace {
// Data between the decoder and the writer: 32 chunks of 128 KiB per reader; a small item
// takes a chunk of its own, so this is also how many items may be in flight.
constexpr uint32_t kChunkSize = 128 * 1024;
constexpr uint32_t kChunkCount = 32;

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
}  // namespace

TExtractCallback::TExtractCallback() = default;

TExtractCallback::~TExtractCallback() = default;

void TExtractCallback::SetWriteObserver(void* sender, TArchiveWriteObserverFn fn)
{
    ObserverSender = sender;
    ObserverFn = fn;
}

void TExtractCallback::ShareErrorSlot(const TExtractCallback& with)
{
    Errors = with.Errors;
}

THResult TExtractCallback::Run(IInArchive& archive, IArchiveExtractCallback* callback, const TRun& run,
                               const uint32_t* indices, uint32_t count, bool testOnly, bool onWriter,
                               bool writerThread)
{
    Current = run;
    if (ProgressHalf) {
        Current.ProgressSender = ProgressHalf;
        Current.ProgressFn = &TProgressSum::Forward;
    }
    if (!SharedErrors)
        Errors->Clear();
    HaveCurrentIndex = false;
    PasswordRefused = false;
    DecoderStopped = false;
    WriterFailed = false;
    if (onWriter) {
        Writer = std::make_unique<TItemWriter>(kChunkSize, kChunkCount, writerThread);
        Placer.Begin(Current.Folder, ReplaceHook, ObserverSender, ObserverFn);
    }
    TScopeExit drop([this] {
        Writer.reset();
        Current = TRun();
    });
    const THResult rc = archive.Extract(indices, count, testOnly ? 1 : 0, callback);
    // An item the library stopped in the middle of leaves nothing behind; the items it
    // finished are settled before the answer is known.
    AbandonFeed();
    if (Writer)
        Writer->Drain();
    Placer.Discard();
    return rc;
}

// An error kept by a callback outranks the code: the code is only its echo, and the
// library may even answer 0 after a callback failed.
void TExtractCallback::RaiseIfFailed(THResult code, const TItemProperties* items)
{
    std::string text, item;
    TFailReason reason = TFailReason::Other;
    const bool named = HaveCurrentIndex && items;
    if (SharedErrors) {
        // Left for the caller of both halves, which knows which failure came first.
        if (Errors->Any())
            throw EArchiveError("");
    } else if (Errors->Take(text, reason, item)) {
        if (item.empty() && named)
            item = items->Label(CurrentIndex);
        if (reason == TFailReason::Other && PasswordRefused)
            reason = TFailReason::Encrypted;
        throw EArchiveError(text, reason, item);
    }
    if (code != kS_OK && PasswordRefused)
        throw EArchiveError(ResultCodeText(code), TFailReason::Encrypted, named ? items->Label(CurrentIndex) : "");
    CheckResult(code);
}

void TExtractCallback::RunTwoHalves(TExtractCallback& other, void* progressSender, TArchiveProgressFn progressFn,
                                    const std::function<void()>& mine, const std::function<void()>& theirs)
{
    TProgressSum sum(progressSender, progressFn);
    if (progressFn) {
        ProgressHalf = sum.Half(0);
        other.ProgressHalf = sum.Half(1);
    }
    other.ObserverSender = ObserverSender;
    other.ObserverFn = ObserverFn;
    other.ReplaceHook = ReplaceHook;
    Errors->Clear();
    SharedErrors = true;
    other.SharedErrors = true;
    TScopeExit restore([this, &other] {
        SharedErrors = false;
        ProgressHalf = other.ProgressHalf = nullptr;
    });

    struct TOutcome {
        bool Failed = false;
        std::string Text;
        TFailReason Reason = TFailReason::Other;
        std::string Item;
    };
    auto run = [](const std::function<void()>& half, TOutcome& out) noexcept {
        try {
            half();
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
    TOutcome ours, others;
    std::thread helper;
    try {
        helper = std::thread([&] { run(theirs, others); });
    } catch (...) {
    }
    run(mine, ours);
    if (helper.joinable())
        helper.join();
    else
        run(theirs, others);

    // A kept text is the failure that stopped both; a bare code is that half's own.
    std::string text, item;
    TFailReason reason = TFailReason::Other;
    if (Errors->Take(text, reason, item))
        throw EArchiveError(text, reason, item);
    if (ours.Failed)
        throw EArchiveError(ours.Text, ours.Reason, ours.Item);
    if (others.Failed)
        throw EArchiveError(others.Text, others.Reason, others.Item);
}

bool TExtractCallback::Stopping() const noexcept
{
    return DecoderStopped || WriterFailed.load(std::memory_order_relaxed) || Errors->Any();
}

THResult TExtractCallback::Fail(const std::string& message, TFailReason reason, const std::string& item) noexcept
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

TFailReason TExtractCallback::ReasonForResult(int32_t opRes) const noexcept
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

THResult TExtractCallback::FailFromCurrentException() noexcept
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
        reason = FailReasonForWriteError(e.SystemError());
    } catch (const std::exception& e) {
        try {
            text = e.what();
        } catch (...) {
        }
    } catch (...) {
    }
    // The writer may be an item behind the decoder: its own item is the one that failed.
    if (item.empty() && TItemWriter::OnWriterThread()) {
        try {
            item = Placer.CurrentItem();
        } catch (...) {
        }
    }
    return Fail(text, reason, item);
}

THResult TExtractCallback::SetTotal(uint64_t total) noexcept
{
    if (!Current.ProgressFn)
        return kS_OK;
    try {
        return Current.ProgressFn(Current.ProgressSender, true, total);
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult TExtractCallback::SetCompleted(const uint64_t* completeValue) noexcept
{
    if (Writer && Stopping())
        return kE_ABORT;
    if (!Current.ProgressFn || !completeValue)
        return kS_OK;
    try {
        return Current.ProgressFn(Current.ProgressSender, false, *completeValue);
    } catch (...) {
        return FailFromCurrentException();
    }
}

THResult TExtractCallback::GetStream(const TItemProperties& items, uint32_t index, ISequentialOutStream** outStream,
                                     int32_t askExtractMode) noexcept
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
        if (RefuseItem(items, index, refused))
            return refused;
        if (Current.ItemStream) {
            TComPtr<T7zStream> s(new T7zStream(Current.ItemStream, TStreamOwnership::Borrowed, Errors));
            s->SetWriteObserver(ObserverSender, ObserverFn);
            *outStream = static_cast<ISequentialOutStream*>(s.Detach());
            return kS_OK;
        }
        if (Current.OutStreamFn)
            return Current.OutStreamFn(Current.OutStreamSender, index, outStream);
        if (Writer)
            return GetFolderStream(items, index, outStream);
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

bool TExtractCallback::RefuseItem(const TItemProperties& items, uint32_t index, THResult& result)
{
    if (items.IsFolder(index))
        return false;
    // A part of an item is never a good copy of it: the rest lies in a volume not supplied.
    if (items.Flag(index, kpidSplitBefore) || items.Flag(index, kpidSplitAfter)) {
        const std::string item = items.Label(index);
        const std::string& volume = Current.MissingVolume;
        const std::string missing = volume.empty() ? std::string() : " (missing " + volume + ")";
        result = Fail("Item continues in another volume" + missing + ": " + item, TFailReason::SplitItem, item);
        return true;
    }
    if (items.Flag(index, kpidEncrypted) && !Current.PasswordAvailable) {
        const std::string item = items.Label(index);
        result = Fail("Item is encrypted: " + item, TFailReason::Encrypted, item);
        return true;
    }
    return false;
}

void TExtractCallback::PostToWriter(std::function<void()> task)
{
    Writer->Post([this, task = std::move(task)] {
        try {
            task();
        } catch (...) {
            FailFromCurrentException();
            Placer.Discard();
        }
    });
}

THResult TExtractCallback::GetFolderStream(const TItemProperties& items, uint32_t index,
                                           ISequentialOutStream** outStream)
{
    const std::wstring itemPath = items.Path(index);
    std::wstring relative;
    if (!MakeSafeRelativePath(itemPath, relative))
        return Fail("Item path leads out of the destination folder: " + WideToSystem(itemPath),
                    TFailReason::UnsafePath, WideToSystem(itemPath));
    // Folders come into being only on the way to a file.
    if (items.IsFolder(index))
        return kS_OK;
    const std::string dest = Current.Folder + WideToSystem(relative);
    if (relative.empty())
        return Fail("Cannot create file " + dest, TFailReason::Other, WideToSystem(itemPath));
    const uint64_t size = items.Size(index);
    const std::string label = WideToSystem(itemPath), below = WideToSystem(relative);
    PostToWriter([this, label, below, dest, size] { Placer.Open(label, below, dest, size); });

    CurrentIsLink = items.Link(index, CurrentLinkHard, CurrentLinkTarget);
    const bool ownData = !CurrentIsLink;
    auto feed = std::make_unique<TWriterFeed>(*Writer, [this, ownData](TItemWriter::TChunkPtr chunk) {
        if (ownData)
            PostToWriter([this, chunk] { Placer.Write(chunk->Data.get(), chunk->Size); });
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
void TExtractCallback::EndFeed() noexcept
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

void TExtractCallback::AbandonFeed() noexcept
{
    if (!FeedStream)
        return;
    EndFeed();
    try {
        Writer->Post([this] { Placer.Discard(); });
    } catch (...) {
        Writer->Drain();
        Placer.Discard();
    }
}

THResult TExtractCallback::SetOperationResult(const TItemProperties& items, int32_t opRes) noexcept
{
    try {
        if (FeedStream) {
            // The writer settles the item behind everything handed over before it.
            EndFeed();
            if (CurrentIsLink) {
                CurrentIsLink = false;
                const bool hard = CurrentLinkHard;
                const std::string target = CurrentLinkTarget;
                PostToWriter([this, hard, target] { Placer.WriteLink(hard, target); });
                opRes = kOpResultOK;
            }
            PostToWriter([this, opRes] {
                if (opRes == kOpResultOK) {
                    Placer.Finish();
                } else if (Placer.HasPending()) {
                    const std::string item = Placer.CurrentItem();
                    Placer.Discard();
                    if (!WriterFailed)
                        Fail("Cannot extract " + item + ": " + OperationResultText(opRes), ReasonForResult(opRes),
                             item);
                }
            });
            if (opRes != kOpResultOK) {
                DecoderStopped = true;
                return kE_ABORT;
            }
            return Stopping() ? kE_ABORT : kS_OK;
        }
        if (opRes != kOpResultOK) {
            const std::string label = HaveCurrentIndex ? items.Label(CurrentIndex) : std::string("an item");
            return Fail("Cannot extract " + label + ": " + OperationResultText(opRes), ReasonForResult(opRes),
                        HaveCurrentIndex ? label : std::string());
        }
        return kS_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}
