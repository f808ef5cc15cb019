#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A worker thread in the manner the wizard needs: made suspended, started by Resume, paused
// by Suspend at the safe points it passes, and optionally deleting itself when its body
// ends. Nothing ever joins a free-on-terminate thread.
//
// A thread made with createSuspended false also starts at its first Resume: a base
// constructor cannot run the derived Execute.
class TThread {
public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Counted: as many Resumes as Suspends let the thread go on; the first start runs Execute.
    void Resume();
    void Suspend();
    // A safe point: blocks the calling thread (whichever it is) while the thread is suspended.
    void PassSuspendPoint();
    void SetFreeOnTerminate(bool value);
    bool FreeOnTerminate() const;
    void Terminate();
    bool Terminated() const;
    // Blocks until a started thread's body has ended (never for a free-on-terminate one,
    // which may be gone). A class that is deleted by others while it may still run calls
    // this in its own destructor: by the base destructor the body's object is already gone.
    void WaitFor();

    // Suspends t if it is still in being (a free-on-terminate thread may have deleted
    // itself); true when it was suspended. A suspended thread stays in being until resumed,
    // so a Resume after a true answer is safe.
    static bool SuspendIfAlive(TThread* t);
    // CPU time the calling thread has used, in seconds.
    static double CurrentThreadCpuSeconds();
    // True once the application's event loop has ended: synchronised calls no longer run.
    static bool ApplicationQuitting();

protected:
    virtual void Execute() = 0;
    // Runs fn on the main (GUI) thread and waits for it; calls run in request order. On the
    // main thread fn runs directly. Once the application is quitting fn does not run.
    void Synchronize(const std::function<void()>& fn);
    // The application's quit waits (a bounded time) for this thread's body to end, so it
    // can leave its files in order. Takes effect only before the thread starts.
    void SetFinishBeforeQuit(bool value);

private:
    friend struct TThreadQuitAccess;
    void Run();

    mutable std::mutex FMutex;
    std::condition_variable FGate;
    int FSuspendCount;
    bool FStarted = false;
    bool FDone = false;
    std::thread::id FThreadId;
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinishBeforeQuit{false};
};
