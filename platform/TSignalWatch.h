#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a call on the main thread's event loop: the handler only
// writes a byte to a pipe, which is all a signal handler may safely do.
class TSignalWatch {
public:
    // One watch at a time; onSignal runs on the thread that made the watch.
    explicit TSignalWatch(std::function<void(int)> onSignal);
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;

    // The number of the last signal seen, 0 before any.
    int LastSignal() const { return FLast; }

private:
    void Drain();

    std::function<void(int)> FOnSignal;
    std::unique_ptr<QSocketNotifier> FNotifier;
    int FLast = 0;
};
