#include "update/EventLoopWait.h"

#include "platform/TStartPipe.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

void WaitUntil(const std::function<bool()>& done, int pollMs)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(pollMs);
    loop.exec();
}

bool WaitForStart(TStartPipe& pipe, int timeoutMs, const std::function<bool()>& giveUp)
{
    if (pipe.Poll() != TStartPipe::TState::Waiting)
        return pipe.Poll() == TStartPipe::TState::Confirmed;
    QEventLoop loop;
    QSocketNotifier notifier(pipe.ReadHandle(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        if (pipe.Poll() != TStartPipe::TState::Waiting)
            loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pipe.Poll() != TStartPipe::TState::Waiting || clock.elapsed() >= timeoutMs || giveUp())
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    return pipe.Poll() != TStartPipe::TState::Ended;
}
