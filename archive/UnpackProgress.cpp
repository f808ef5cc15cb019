#include "archive/UnpackProgress.h"

#include "platform/TThread.h"

#include <condition_variable>
#include <mutex>

std::atomic<int64_t> FileBytesTotal{1};
std::atomic<int64_t> FileBytesDone{0};
std::atomic<bool> FileBarStop{false};

namespace {
constexpr int32_t ResultAbort = static_cast<int32_t>(0x80004004);  // E_ABORT
std::mutex StopMutex;
std::condition_variable StopSignal;
}

int32_t OnArchiveProgress(void* sender, bool isTotal, uint64_t value)
{
    const auto v = static_cast<int64_t>(value > uint64_t(INT64_MAX) ? uint64_t(INT64_MAX) : value);
    if (isTotal)
        FileBytesTotal = v;
    else
        FileBytesDone = v;
    if (sender)
        static_cast<TThread*>(sender)->PassSuspendPoint();
    return TThread::ApplicationQuitting() ? ResultAbort : 0;
}

void OnArchiveWrite(void* sender)
{
    if (sender)
        static_cast<TThread*>(sender)->PassSuspendPoint();
}

void StopFileBar()
{
    {
        std::lock_guard lock(StopMutex);
        FileBarStop = true;
    }
    StopSignal.notify_all();
}

bool WaitFileBarStop(std::chrono::milliseconds interval)
{
    std::unique_lock lock(StopMutex);
    return StopSignal.wait_for(lock, interval, [] { return FileBarStop.load(); });
}
