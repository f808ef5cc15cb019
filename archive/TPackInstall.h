#pragma once

#include "archive/tFilesArray.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TInstallRecorder;
class TThread;

// Installs the archives of a list with up to Parallel() of them extracting at once, while
// the target sees them one after the other: the earliest unfinished archive extracts
// straight into the target, those after it into staging folders inside the target, each
// moved in by renames once every archive before it is in place. A failure or a stop leaves
// in the target, in the record and on the bars what installing them one by one would.
class TPackInstall {
public:
    // Called on the thread that runs Run.
    struct TEvents {
        // The archive is the next to reach the target: the file bar and a failure follow it.
        std::function<void(std::size_t)> ArchiveStarts;
        // The archive is wholly in place.
        std::function<void(std::size_t)> ArchiveDone;
        // Asked at safe points; true stops the installation once the current archive is in place.
        std::function<bool()> StopRequested;
    };

    // worker: its suspend gate holds every extraction and move (none: nothing pauses).
    // recorder: told of every file that reaches the target (none: unrecorded).
    TPackInstall(const tFilesArray& files, const std::string& targetFolder, const std::string& libraryPath,
                 TThread* worker, TInstallRecorder* recorder, TEvents events);
    ~TPackInstall();
    TPackInstall(const TPackInstall&) = delete;
    TPackInstall& operator=(const TPackInstall&) = delete;

    // True when every archive is in place without a stop asked for; false after a stop.
    // Raises the error of the first failing archive in list order, once the archives
    // before it, and the files it placed before failing, are in place.
    bool Run();
    // Archives wholly in place so far.
    std::size_t InPlace() const { return FInPlace; }

    // Archives extracting at once: ParallelOverride when above 0, else the usable cores.
    static int Parallel();
    static std::atomic<int> ParallelOverride;
    // The staging folder inside the target; no archive's own folder is expected to be named so.
    static const char* const StagingName;

private:
    struct TJob;

    void Start(std::size_t index, bool direct);
    // One of the extraction threads: takes queued archives until told to end.
    void Serve() noexcept;
    // pooled: on one of those threads, which is idle again once the archive has ended.
    void Extract(TJob& job, bool pooled) noexcept;
    // Keeps extractions going until the head archive's has ended.
    void WaitForHead(TJob& head, std::size_t& next, int parallel);
    void Pass();
    void AbortAfter(std::size_t index);
    void EndAll() noexcept;

    static int32_t OnProgress(void* sender, bool isTotal, uint64_t value);
    static void OnWrite(void* sender);

    const tFilesArray FFiles;
    const std::string FTargetFolder;  // as given
    const std::string FTarget;        // with the delimiter
    const std::string FLibraryPath;
    std::string FStagingRoot;
    TThread* const FWorker;
    TInstallRecorder* const FRecorder;
    TEvents FEvents;

    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::unique_ptr<TJob>> FJobs;
    // The extraction threads live as long as the run: each keeps its malloc arena, so the
    // memory one archive freed serves the next on that thread instead of piling up in
    // arenas of threads made per archive.
    std::vector<std::thread> FThreads;
    std::deque<TJob*> FQueue;  // started, for the next idle thread
    std::condition_variable FWork;
    int FIdle = 0;  // threads without an archive, counting those about to take one
    bool FEnding = false;
    int FRunning = 0;
    std::size_t FLimit = 0;  // no archive from here on starts (one before it failed)
    bool FStopping = false;
    std::size_t FInPlace = 0;
};
