#include "platform/TSignalWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int GPipe[2] = {-1, -1};

void OnSignal(int signal)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signal);
    if (GPipe[1] >= 0)
        [[maybe_unused]] ssize_t n = ::write(GPipe[1], &b, 1);
    errno = saved;
}
}

TSignalWatch::TSignalWatch(std::function<void(int)> onSignal) : FOnSignal(std::move(onSignal))
{
    if (GPipe[0] < 0 && ::pipe2(GPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    FNotifier = std::make_unique<QSocketNotifier>(GPipe[0], QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { Drain(); });
}

TSignalWatch::~TSignalWatch()
{
    // The default action again: a signal after the watch has gone ends the process.
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

void TSignalWatch::Drain()
{
    unsigned char buf[16];
    ssize_t n;
    while ((n = ::read(GPipe[0], buf, sizeof buf)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            FLast = buf[i];
            if (FOnSignal)
                FOnSignal(FLast);
        }
    }
}
