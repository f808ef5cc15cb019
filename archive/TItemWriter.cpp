#include "archive/TItemWriter.h"

namespace {
thread_local bool tOnWriter = false;

class TWriterScope {
public:
    TWriterScope() : Saved(tOnWriter) { tOnWriter = true; }
    ~TWriterScope() { tOnWriter = Saved; }
    TWriterScope(const TWriterScope&) = delete;
    TWriterScope& operator=(const TWriterScope&) = delete;

private:
    bool Saved;
};
}  // namespace

// Shared with the chunks' deleters, so a chunk may outlive the writer.
struct TItemWriter::TPool {
    std::mutex Lock;
    std::condition_variable Freed;
    std::vector<std::unique_ptr<TWriteChunk>> Free;
    uint32_t Left = 0;  // chunks not handed out

    void GiveBack(TWriteChunk* chunk) noexcept
    {
        {
            std::lock_guard g(Lock);
            chunk->Size = 0;
            try {
                Free.emplace_back(chunk);
            } catch (...) {
                delete chunk;  // the budget stays the same; a new one is made when needed
            }
            ++Left;
        }
        Freed.notify_one();
    }
};

TItemWriter::TItemWriter(uint32_t chunkSize, uint32_t chunkCount, bool ownThread)
    : FChunkSize(chunkSize), Pool(std::make_shared<TPool>())
{
    Pool->Left = chunkCount < 2 ? 2 : chunkCount;
    Inline = !ownThread;
    if (Inline)
        return;
    try {
        Thread = std::thread([this] { Run(); });
    } catch (...) {
        Inline = true;
    }
}

TItemWriter::~TItemWriter()
{
    if (Inline)
        return;
    {
        std::lock_guard g(Lock);
        Ending = true;
    }
    HasWork.notify_one();
    Thread.join();
}

bool TItemWriter::OnWriterThread()
{
    return tOnWriter;
}

void TItemWriter::RunTask(TTask& task) noexcept
{
    TWriterScope scope;
    try {
        task();
    } catch (...) {
        // Tasks keep their own failures; nothing may end the thread.
    }
}

void TItemWriter::Post(TTask task)
{
    if (Inline) {
        RunTask(task);
        return;
    }
    {
        std::lock_guard g(Lock);
        Tasks.push_back(std::move(task));
    }
    HasWork.notify_one();
}

TItemWriter::TChunkPtr TItemWriter::NewChunk()
{
    std::unique_ptr<TWriteChunk> chunk;
    {
        std::unique_lock g(Pool->Lock);
        Pool->Freed.wait(g, [this] { return Pool->Left > 0; });
        --Pool->Left;
        if (!Pool->Free.empty()) {
            chunk = std::move(Pool->Free.back());
            Pool->Free.pop_back();
        }
    }
    try {
        if (!chunk) {
            chunk = std::make_unique<TWriteChunk>();
            chunk->Data.reset(new char[FChunkSize]);
            chunk->Capacity = FChunkSize;
        }
    } catch (...) {
        std::lock_guard g(Pool->Lock);
        ++Pool->Left;
        throw;
    }
    std::shared_ptr<TPool> pool = Pool;
    return TChunkPtr(chunk.release(), [pool](TWriteChunk* c) { pool->GiveBack(c); });
}

void TItemWriter::Drain()
{
    if (Inline)
        return;
    std::unique_lock g(Lock);
    AllDone.wait(g, [this] { return Tasks.empty() && !Busy; });
}

void TItemWriter::Run()
{
    std::unique_lock g(Lock);
    for (;;) {
        HasWork.wait(g, [this] { return Ending || !Tasks.empty(); });
        if (Tasks.empty())
            return;  // ending, and nothing left to run
        TTask task = std::move(Tasks.front());
        Tasks.pop_front();
        Busy = true;
        g.unlock();
        RunTask(task);
        task = nullptr;  // drops the chunks it held before the next wait
        g.lock();
        Busy = false;
        if (Tasks.empty())
            AllDone.notify_all();
    }
}
