#pragma once

#include "archive/IInstallControls.h"
#include "platform/TThread.h"

#include <atomic>
#include <chrono>
#include <memory>

// Copies the byte counters of the archive in extraction into the file bar, until
// FileBarStop is set. One per archive; frees itself.
class ThPBFUpdate : public TThread {
public:
    // Resets FileBytesTotal to 1 and FileBytesDone to 0.
    ThPBFUpdate(bool createSuspended, std::shared_ptr<IInstallControls> controls);
    ~ThPBFUpdate() override;

    // Synchronised: the counters into the file bar, scaled into the bar's int range.
    void UpdateFileBar();

    // Pause between passes; zero spins (a pass as soon as the last one has run). Pacing to
    // the screen keeps the main thread and a core free for the extraction.
    static std::atomic<int> PassIntervalMs;
    // Updaters in being, and a wait (bounded) until none is.
    static int LiveCount();
    // CPU time all updaters have used so far, in microseconds.
    static std::atomic<int64_t> CpuMicroseconds;
    static bool WaitUntilNoneLive(std::chrono::milliseconds limit);

protected:
    void Execute() override;

private:
    std::shared_ptr<IInstallControls> FControls;
};
