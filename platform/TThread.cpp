#include "platform/TThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <ctime>
#include <deque>
#include <exception>
#include <memory>
#include <set>

namespace {

// How long the application's quit waits for threads that must finish first.
constexpr auto QuitWaitLimit = std::chrono::seconds(20);

enum class TRequestState { Pending, Running, Done, Abandoned };

struct TSyncRequest {
    std::function<void()> Fn;
    TRequestState State = TRequestState::Pending;
    std::exception_ptr Error;
};

// Shared by every thread; the lock order is GMutex, then a thread's own mutex.
std::mutex GMutex;
std::condition_variable GChanged;
std::deque<std::shared_ptr<TSyncRequest>> GQueue;
std::set<TThread*> GLive;
QCoreApplication* GHookedApp = nullptr;
bool GQuitting = false;
int GMustFinish = 0;

bool OnMainThread(QCoreApplication* app)
{
    return QThread::currentThread() == app->thread();
}

void BeginQuit();

// Called with GMutex held.
void HookApplication(QCoreApplication* app)
{
    if (GHookedApp == app)
        return;
    GHookedApp = app;
    GQuitting = false;
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, &BeginQuit, Qt::DirectConnection);
    QObject::connect(app, &QObject::destroyed, [] {
        std::lock_guard lock(GMutex);
        GQuitting = true;
        GHookedApp = nullptr;
        for (auto& r : GQueue)
            if (r->State == TRequestState::Pending)
                r->State = TRequestState::Abandoned;
        GQueue.clear();
        GChanged.notify_all();
    });
}

void RunNextRequest()
{
    std::shared_ptr<TSyncRequest> req;
    {
        std::lock_guard lock(GMutex);
        if (GQueue.empty())
            return;
        req = GQueue.front();
        GQueue.pop_front();
        if (req->State != TRequestState::Pending)
            return;
        req->State = TRequestState::Running;
    }
    try {
        req->Fn();
    } catch (...) {
        req->Error = std::current_exception();
    }
    std::lock_guard lock(GMutex);
    req->State = TRequestState::Done;
    GChanged.notify_all();
}

}  // namespace

// A hook of the friend kind: reaches the private gate of every live thread at quit.
struct TThreadQuitAccess {
    static void Release(TThread* t)
    {
        std::lock_guard lock(t->FMutex);
        t->FSuspendCount = 0;
        t->FGate.notify_all();
    }
};

namespace {

// The event loop has ended: queued calls will never run, so their callers are let go,
// suspended threads are released, and threads that must leave their files in order get a
// bounded time to end.
void BeginQuit()
{
    std::unique_lock lock(GMutex);
    GQuitting = true;
    for (auto& r : GQueue)
        if (r->State == TRequestState::Pending)
            r->State = TRequestState::Abandoned;
    GQueue.clear();
    for (TThread* t : GLive)
        TThreadQuitAccess::Release(t);
    GChanged.notify_all();
    GChanged.wait_for(lock, QuitWaitLimit, [] { return GMustFinish == 0; });
}

}  // namespace

TThread::TThread(bool createSuspended) : FSuspendCount(createSuspended ? 1 : 0)
{
    std::lock_guard lock(GMutex);
    GLive.insert(this);
    if (QCoreApplication* app = QCoreApplication::instance())
        HookApplication(app);
}

TThread::~TThread()
{
    WaitFor();
    std::lock_guard lock(GMutex);
    GLive.erase(this);
}

void TThread::WaitFor()
{
    std::unique_lock lock(FMutex);
    if (FFreeOnTerminate || !FStarted || FThreadId == std::this_thread::get_id())
        return;
    FGate.wait(lock, [this] { return FDone; });
}

void TThread::Resume()
{
    std::lock_guard g(GMutex);
    std::lock_guard lock(FMutex);
    if (FSuspendCount > 0)
        --FSuspendCount;
    if (FSuspendCount > 0)
        return;
    if (FStarted) {
        FGate.notify_all();
        return;
    }
    FStarted = true;
    if (FFinishBeforeQuit)
        ++GMustFinish;
    // Run takes FMutex first, so it starts only after this call has let go of the object.
    std::thread(&TThread::Run, this).detach();
}

void TThread::Suspend()
{
    std::lock_guard lock(FMutex);
    ++FSuspendCount;
}

void TThread::PassSuspendPoint()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && OnMainThread(app))
        return;  // the main thread never parks: it is the one that resumes
    std::unique_lock lock(FMutex);
    FGate.wait(lock, [this] { return FSuspendCount == 0; });
}

void TThread::SetFreeOnTerminate(bool value)
{
    FFreeOnTerminate = value;
}

bool TThread::FreeOnTerminate() const
{
    return FFreeOnTerminate;
}

void TThread::Terminate()
{
    FTerminated = true;
}

bool TThread::Terminated() const
{
    return FTerminated;
}

bool TThread::SuspendIfAlive(TThread* t)
{
    std::lock_guard g(GMutex);
    if (!t || !GLive.count(t))
        return false;
    std::lock_guard lock(t->FMutex);
    ++t->FSuspendCount;
    return true;
}

double TThread::CurrentThreadCpuSeconds()
{
    timespec ts{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0)
        return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool TThread::ApplicationQuitting()
{
    std::lock_guard lock(GMutex);
    return GQuitting || !QCoreApplication::instance();
}

void TThread::SetFinishBeforeQuit(bool value)
{
    std::lock_guard lock(FMutex);
    if (!FStarted)
        FFinishBeforeQuit = value;
}

void TThread::Synchronize(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (OnMainThread(app)) {
        fn();
        return;
    }
    auto req = std::make_shared<TSyncRequest>();
    req->Fn = fn;
    {
        std::lock_guard lock(GMutex);
        HookApplication(app);
        if (GQuitting)
            return;
        GQueue.push_back(req);
    }
    QMetaObject::invokeMethod(app, [] { RunNextRequest(); }, Qt::QueuedConnection);
    std::unique_lock lock(GMutex);
    GChanged.wait(lock, [&req] {
        return req->State == TRequestState::Done || req->State == TRequestState::Abandoned;
    });
    if (req->Error) {
        std::exception_ptr e = req->Error;
        lock.unlock();
        std::rethrow_exception(e);
    }
}

void TThread::Run()
{
    {
        std::lock_guard lock(FMutex);
        FThreadId = std::this_thread::get_id();
    }
    try {
        if (!Terminated())
            Execute();
    } catch (...) {
        // A thread body has nobody to report to; its own code shows what the user must see.
    }
    {
        std::lock_guard g(GMutex);
        if (FFinishBeforeQuit) {
            --GMustFinish;
            GChanged.notify_all();
        }
    }
    // A suspended thread stays in being until it is resumed, so whoever suspended it may
    // still resume it. Leaving the live set under the same lock as that check keeps a
    // concurrent SuspendIfAlive from reaching a thread that is being deleted.
    for (;;) {
        std::unique_lock g(GMutex);
        std::unique_lock lock(FMutex);
        if (!FFreeOnTerminate || FSuspendCount == 0 || GQuitting) {
            GLive.erase(this);
            break;
        }
        g.unlock();
        FGate.wait(lock, [this] { return FSuspendCount == 0; });
    }
    if (FFreeOnTerminate) {
        delete this;
        return;
    }
    std::lock_guard lock(FMutex);
    FDone = true;
    FGate.notify_all();
}
