#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// Progress of the archive being extracted, shared by the worker, the library's threads,
// the file bar updater and the main thread.
extern std::atomic<int64_t> FileBytesTotal;
extern std::atomic<int64_t> FileBytesDone;
// True tells the running file bar updater to end.
extern std::atomic<bool> FileBarStop;

// The binding's progress sink. sender: the worker (a TThread) or null. Passes the worker's
// suspend point, so a paused installation stops inside the extraction. Answers 0, except
// once the application is quitting: then it stops the extraction, so the binding can drop
// its half-written file before the process ends.
int32_t OnArchiveProgress(void* sender, bool isTotal, uint64_t value);
// The binding's write observer: the worker's suspend point before every write.
void OnArchiveWrite(void* sender);

// Sets FileBarStop and wakes an updater that waits between passes.
void StopFileBar();
// Waits up to interval for FileBarStop; true when it is set.
bool WaitFileBarStop(std::chrono::milliseconds interval);
