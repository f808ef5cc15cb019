#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A block of item data on its way to the writer thread.
struct TWriteChunk {
    std::unique_ptr<char[]> Data;
    uint32_t Size = 0;
    uint32_t Capacity = 0;
};

// The file side of an extraction on a thread of its own, so the thread that decodes never
// waits for the disk. Tasks run one at a time in the order they were posted. The data in
// flight is bounded: NewChunk blocks while every chunk of the budget is taken, and a chunk
// comes back when the last reference to it goes.
class TItemWriter {
public:
    using TTask = std::function<void()>;
    using TChunkPtr = std::shared_ptr<TWriteChunk>;

    // ownThread false: every task runs at once on the caller.
    TItemWriter(uint32_t chunkSize, uint32_t chunkCount, bool ownThread = true);
    // Runs what is still posted, then ends the thread.
    ~TItemWriter();
    TItemWriter(const TItemWriter&) = delete;
    TItemWriter& operator=(const TItemWriter&) = delete;

    // Tasks must not throw. When no thread could be started, they run at once on the caller.
    void Post(TTask task);
    TChunkPtr NewChunk();
    // Waits until every task posted so far has run.
    void Drain();
    uint32_t ChunkSize() const { return FChunkSize; }
    // True on a writer's thread (and inside a task run in place of one).
    static bool OnWriterThread();

private:
    struct TPool;
    void Run();
    void RunTask(TTask& task) noexcept;

    const uint32_t FChunkSize;
    std::shared_ptr<TPool> Pool;
    std::mutex Lock;
    std::condition_variable HasWork;
    std::condition_variable AllDone;
    std::deque<TTask> Tasks;
    bool Busy = false;
    bool Ending = false;
    bool Inline = false;
    std::thread Thread;
};
