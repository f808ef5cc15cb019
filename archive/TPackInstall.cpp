#include "archive/TPackInstall.h"

#include "archive/ArchiveBinding.h"
#include "archive/EArchiveError.h"
#include "archive/TArchiveLoad.h"
#include "archive/TInstallRecorder.h"
#include "archive/TScopeExit.h"
#include "archive/TStagedArchive.h"
#include "archive/UnpackProgress.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TPageMemory.h"
#include "platform/TThread.h"

#include <chrono>
#include <exception>
#include <thread>

namespace {
constexpr int32_t ResultAbort = static_cast<int32_t>(0x80004004);  // E_ABORT
// How often the waiting worker looks for a stop asked while nothing else happens.
constexpr auto StopLookInterval = std::chrono::milliseconds(50);
// Decoder dictionaries and the library's stream buffers are above this, the writer's
// chunks below: a dictionary's pages go back to the system with its archive, so the
// peak holds the dictionaries in use, not the largest each thread has had.
constexpr std::size_t GiveBackFrom = std::size_t(1) << 20;
}

std::atomic<int> TPackInstall::ParallelOverride{0};
const char* const TPackInstall::StagingName = ".setup-staging";

struct TPackInstall::TJob {
    enum class TState { Running, Extracted, Failed };

    TPackInstall* Owner = nullptr;
    std::size_t Index = 0;
    std::unique_ptr<TStagedArchive> Staged;  // none: straight into the target
    TState State = TState::Running;  // under the owner's mutex
    std::exception_ptr Error;
    std::atomic<int64_t> Total{1};
    std::atomic<int64_t> Done{0};
    std::atomic<bool> OnBar{false};
    std::atomic<bool> Abort{false};
};

TPackInstall::TPackInstall(const tFilesArray& files, const std::string& targetFolder, const std::string& libraryPath,
                           TThread* worker, TInstallRecorder* recorder, TEvents events)
    : FFiles(files), FTargetFolder(targetFolder), FTarget(IncludeTrailingPathDelimiter(targetFolder)),
      FLibraryPath(libraryPath), FWorker(worker), FRecorder(recorder), FEvents(std::move(events))
{
}

TPackInstall::~TPackInstall()
{
    EndAll();
}

int TPackInstall::Parallel()
{
    const int forced = ParallelOverride;
    return forced > 0 ? forced : ProcessorCount();
}

bool TPackInstall::Run()
{
    const std::size_t n = FFiles.size();
    TPageMemory::GiveBackBlocksFrom(GiveBackFrom);
    FJobs.clear();
    FJobs.resize(n);
    FLimit = n;
    const int parallel = n > 1 ? Parallel() : 1;
    FThreads.reserve(static_cast<std::size_t>(parallel));
    if (parallel > 1) {
        FStagingRoot = FTarget + StagingName;
        DeleteTree(FStagingRoot);  // what a killed run left (the target is locked: not another's)
    }
    TScopeExit end([this] { EndAll(); });

    std::size_t next = 0;
    for (std::size_t head = 0; head < n; ++head) {
        if (FRecorder)
            FRecorder->BeginArchive(head);
        if (FEvents.ArchiveStarts)
            FEvents.ArchiveStarts(head);
        if (!FJobs[head]) {
            Start(head, true);
            next = head + 1;
        }
        TJob& job = *FJobs[head];
        // The file bar's updater has just reset the counters: the head's own go in.
        job.OnBar = true;
        FileBytesTotal = job.Total.load();
        FileBytesDone = job.Done.load();
        WaitForHead(job, next, parallel);
        job.OnBar = false;
        if (job.Staged) {
            // A failed archive's files placed before the failure stay, as they would have.
            job.Staged->CommitTo(FTarget, FRecorder, [this] { Pass(); });
            job.Staged->Discard();
        }
        if (job.Error)
            std::rethrow_exception(job.Error);
        if (FRecorder)
            FRecorder->Flush();
        FInPlace = head + 1;
        if (FEvents.ArchiveDone)
            FEvents.ArchiveDone(head);
        // A pending Exit question is answered before the stop is looked at.
        Pass();
        if (FStopping || (FEvents.StopRequested && FEvents.StopRequested()))
            return false;
    }
    return true;
}

void TPackInstall::Start(std::size_t index, bool direct)
{
    auto job = std::make_unique<TJob>();
    job->Owner = this;
    job->Index = index;
    if (!direct)
        job->Staged = std::make_unique<TStagedArchive>(FStagingRoot + PathDelim + std::to_string(index) + PathDelim);
    TJob* j = job.get();
    std::unique_lock lock(FMutex);
    FJobs[index] = std::move(job);
    ++FRunning;
    FQueue.push_back(j);
    // A thread is made only when every idle one already has an archive waiting for it:
    // never more threads than archives running.
    if (static_cast<int>(FQueue.size()) > FIdle) {
        ++FIdle;
        try {
            FThreads.emplace_back([this] { Serve(); });
        } catch (...) {
            --FIdle;
            if (FThreads.empty()) {
                FQueue.pop_back();
                lock.unlock();
                Extract(*j, false);  // no thread to be had: this one does it
                return;
            }
            // A thread already made takes it in its turn.
        }
    }
    lock.unlock();
    FWork.notify_one();
}

void TPackInstall::Serve() noexcept
{
    std::unique_lock lock(FMutex);
    for (;;) {
        FWork.wait(lock, [this] { return FEnding || !FQueue.empty(); });
        if (FEnding)
            return;
        TJob* job = FQueue.front();
        FQueue.pop_front();
        --FIdle;
        lock.unlock();
        Extract(*job, true);
        lock.lock();
    }
}

void TPackInstall::Extract(TJob& job, bool pooled) noexcept
{
    {
        TArchiveLoad load;
        try {
            const std::string& entry = FFiles[job.Index];
            TGUID formatId;
            if (!FormatIdForExtension(ExtractFileExt(entry), formatId))
                throw EArchiveError("Unknown archive type: " + entry);
            I7zReaderPtr reader = CreateArchiveReader(formatId, FLibraryPath);
            reader->OpenArchiveFile(entry);
            reader->SetProgressSink(&job, &OnProgress);
            reader->SetWriteObserver(&job, &OnWrite);
            if (job.Staged)
                reader->SetReplaceHook(job.Staged.get());
            else if (FRecorder)
                reader->SetReplaceHook(FRecorder);
            reader->ExtractAllToFolder(job.Staged ? job.Staged->Folder() : FTargetFolder);
            reader->CloseArchive();
        } catch (...) {
            job.Error = std::current_exception();
        }
    }
    {
        std::lock_guard lock(FMutex);
        job.State = job.Error ? TJob::TState::Failed : TJob::TState::Extracted;
        --FRunning;
        if (pooled)
            ++FIdle;
    }
    FChanged.notify_all();
}

void TPackInstall::WaitForHead(TJob& head, std::size_t& next, int parallel)
{
    for (;;) {
        std::unique_lock lock(FMutex);
        // An archive that failed ahead of its turn ends the list there: nothing after it
        // would have been installed.
        for (std::size_t i = head.Index + 1; i < next && i < FLimit; ++i)
            if (FJobs[i] && FJobs[i]->State == TJob::TState::Failed) {
                FLimit = i + 1;
                break;
            }
        if (next > FLimit) {
            lock.unlock();
            AbortAfter(FLimit - 1);
            lock.lock();
        }
        while (!FStopping && next < FLimit && FRunning < parallel) {
            const std::size_t index = next++;
            lock.unlock();
            Start(index, false);
            lock.lock();
        }
        if (head.State != TJob::TState::Running)
            return;
        FChanged.wait_for(lock, StopLookInterval);
        const bool ended = head.State != TJob::TState::Running;
        lock.unlock();
        Pass();
        if (!FStopping && FEvents.StopRequested && FEvents.StopRequested()) {
            // The archive in hand is finished, as one by one; the ones ahead of it go.
            FStopping = true;
            AbortAfter(head.Index);
        }
        if (ended)
            return;
    }
}

void TPackInstall::Pass()
{
    if (FWorker)
        FWorker->PassSuspendPoint();
}

void TPackInstall::AbortAfter(std::size_t index)
{
    std::lock_guard lock(FMutex);
    for (std::size_t i = index + 1; i < FJobs.size(); ++i)
        if (FJobs[i])
            FJobs[i]->Abort = true;
}

void TPackInstall::EndAll() noexcept
{
    {
        std::lock_guard lock(FMutex);
        for (auto& job : FJobs)
            if (job)
                job->Abort = true;
        // Archives no thread has taken yet never start.
        FQueue.clear();
        FEnding = true;
    }
    FWork.notify_all();
    for (std::thread& t : FThreads)
        t.join();
    FThreads.clear();
    FEnding = false;
    FIdle = 0;
    for (auto& job : FJobs)
        if (job && job->Staged)
            job->Staged->Discard();
    FJobs.clear();
    if (!FStagingRoot.empty())
        DeleteTree(FStagingRoot);
}

int32_t TPackInstall::OnProgress(void* sender, bool isTotal, uint64_t value)
{
    auto& job = *static_cast<TJob*>(sender);
    const auto v = static_cast<int64_t>(value > uint64_t(INT64_MAX) ? uint64_t(INT64_MAX) : value);
    // The slot first, then the bar: a job made the head meanwhile has its value either way.
    (isTotal ? job.Total : job.Done) = v;
    if (job.OnBar)
        (isTotal ? FileBytesTotal : FileBytesDone) = v;
    job.Owner->Pass();
    return job.Abort || TThread::ApplicationQuitting() ? ResultAbort : 0;
}

void TPackInstall::OnWrite(void* sender)
{
    static_cast<TJob*>(sender)->Owner->Pass();
}
