#include "TXDisplay.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void Stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
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
    const std::string full = "DISPLAY=" + FName + " " + command + " 2>/dev/null";
    FILE* p = ::popen(full.c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    return out;
}

bool TXDisplay::WaitFor(int ms, bool (TXDisplay::*ready)() const) const
{
    for (int waited = 0; waited < ms; waited += 50) {
        if ((this->*ready)())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return (this->*ready)();
}

bool TXDisplay::ServerUp() const
{
    return Exists("/tmp/.X11-unix/X" + std::to_string(FNumber)) &&
           Capture("xdpyinfo").find("screen #0") != std::string::npos;
}

bool TXDisplay::ManagerUp() const
{
    // The manager names its check window on the root window once it manages the screen.
    return Capture("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id #") != std::string::npos;
}

bool TXDisplay::Start()
{
    for (int n = 90; n <= 120 && FServer < 0; ++n) {
        if (Exists("/tmp/.X" + std::to_string(n) + "-lock") || Exists("/tmp/.X11-unix/X" + std::to_string(n)))
            continue;
        FNumber = n;
        FName = ":" + std::to_string(n);
        FServer = Spawn("Xvfb " + FName + " -nolisten tcp -screen 0 1280x1024x24");
        if (!WaitFor(10000, &TXDisplay::ServerUp)) {
            Stop(FServer);  // another run took the number meanwhile: try the next
            continue;
        }
    }
    if (FServer < 0) {
        Error = "no Xvfb display could be started on :90..:120";
        return false;
    }
    FManager = Spawn("openbox");
    if (!WaitFor(10000, &TXDisplay::ManagerUp)) {
        Error = "openbox did not come up on " + FName;
        return false;
    }
    return true;
}
