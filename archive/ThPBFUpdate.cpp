#include "archive/ThPBFUpdate.h"

#include "archive/UnpackProgress.h"

#include <climits>
#include <condition_variable>
#include <mutex>

std::atomic<int> ThPBFUpdate::PassIntervalMs{15};
std::atomic<int64_t> ThPBFUpdate::CpuMicroseconds{0};

namespace {
std::mutex LiveMutex;
std::condition_variable LiveChanged;
int Live = 0;
}

ThPBFUpdate::ThPBFUpdate(bool createSuspended, std::shared_ptr<IInstallControls> controls)
    : TThread(createSuspended), FControls(std::move(controls))
{
    FileBytesTotal = 1;
    FileBytesDone = 0;
    std::lock_guard lock(LiveMutex);
    ++Live;
}

ThPBFUpdate::~ThPBFUpdate()
{
    {
        std::lock_guard lock(LiveMutex);
        --Live;
    }
    LiveChanged.notify_all();
}

int ThPBFUpdate::LiveCount()
{
    std::lock_guard lock(LiveMutex);
    return Live;
}

bool ThPBFUpdate::WaitUntilNoneLive(std::chrono::milliseconds limit)
{
    std::unique_lock lock(LiveMutex);
    return LiveChanged.wait_for(lock, limit, [] { return Live == 0; });
}

void ThPBFUpdate::UpdateFileBar()
{
    if (!FControls)
        return;
    IInstallControls& bars = *FControls;
    // The bar holds ints: archives of 2 GiB and more are shown in units of 2^shift bytes.
    // An empty archive keeps the 0..1 bar rather than Qt's busy indicator.
    int64_t total = FileBytesTotal;
    int64_t done = FileBytesDone;
    if (total < 1)
        total = 1;
    if (done < 0)
        done = 0;
    if (done > total)
        done = total;
    int shift = 0;
    while ((total >> shift) > INT_MAX)
        ++shift;
    const int max = static_cast<int>(total >> shift);
    const int pos = static_cast<int>(done >> shift);
    if (bars.BarMax(IInstallControls::FileBar) != max)
        bars.SetBarRange(IInstallControls::FileBar, max);
    if (bars.BarPosition(IInstallControls::FileBar) != pos)
        bars.SetBarPosition(IInstallControls::FileBar, pos);
}

void ThPBFUpdate::Execute()
{
    const double cpuStart = CurrentThreadCpuSeconds();
    while (!FileBarStop) {
        Synchronize([this] { UpdateFileBar(); });
        if (ApplicationQuitting())
            break;
        const int pause = PassIntervalMs;
        if (pause > 0)
            WaitFileBarStop(std::chrono::milliseconds(pause));
    }
    FileBarStop = true;
    CpuMicroseconds += static_cast<int64_t>((CurrentThreadCpuSeconds() - cpuStart) * 1e6);
}
