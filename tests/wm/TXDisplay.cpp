#include "TXDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
void Stop(pid_t pid)
{
    if (pid > 0 && ::kill(pid, SIGTERM) == 0)
        ::waitpid(pid, nullptr, 0);
}
}  // namespace

TXDisplay::~TXDisplay()
{
    Stop(FManager);
    Stop(FServer);
}

pid_t TXDisplay::Spawn(const std::string& command) const
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("DISPLAY", FName.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

std::string TXDisplay::Capture(const std::string& command) const
{
    std::string out;
    if (FILE* p = ::popen(("DISPLAY=" + FName + " " + command + " 2>/dev/null").c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        ::pclose(p);
    }
    return out;
}

bool TXDisplay::WaitFor(const std::string& command, const std::string& mark) const
{
    for (int i = 0; i < 200; ++i) {
        if (Capture(command).find(mark) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool TXDisplay::Start()
{
    // The server picks a free display itself and names it once it accepts clients, so two
    // runs at once never meet on one number.
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    FServer = Spawn("Xvfb -displayfd " + std::to_string(fds[1]) + " -nolisten tcp -screen 0 1280x1024x24");
    ::close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c = 0;
    while (::poll(&pfd, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (number.empty())
        return false;
    FName = ":" + number;
    // The manager names its check window on the root once it manages the screen. Now and
    // then openbox never gets there on a fresh server; a second start does.
    for (int attempt = 0; attempt < 3; ++attempt) {
        FManager = Spawn("openbox");
        if (WaitFor("xprop -root _NET_SUPPORTING_WM_CHECK", "window id #"))
            return true;
        Stop(FManager);
        FManager = -1;
    }
    return false;
}
