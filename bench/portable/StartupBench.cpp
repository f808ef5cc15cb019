// Start-up of the portable file against the plain build: time from the start of the process
// to its window being mapped, on an X server of the bench's own (Xvfb, no window manager).
// The portable file is timed on its first start (an empty cache, so it unpacks) and on later
// starts (the cache filled). Usage: bench_portable_start [rounds]
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// An Xvfb of its own, on the first free display number.
class TXServer {
public:
    TXServer()
    {
        for (int n = 140; n < 200 && FPid == 0; ++n) {
            if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
                continue;
            FDisplay = ":" + std::to_string(n);
            FPid = ::fork();
            if (FPid == 0) {
                ::execlp("Xvfb", "Xvfb", FDisplay.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
                std::_Exit(127);
            }
            for (int i = 0; i < 100 && !FConnection; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                xcb_connection_t* c = xcb_connect(FDisplay.c_str(), nullptr);
                if (xcb_connection_has_error(c))
                    xcb_disconnect(c);
                else
                    FConnection = c;
            }
        }
        if (!FConnection)
            throw std::runtime_error("cannot start Xvfb");
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(FConnection, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(FConnection);
    }
    ~TXServer()
    {
        xcb_disconnect(FConnection);
        ::kill(FPid, SIGTERM);
        ::waitpid(FPid, nullptr, 0);
    }
    const std::string& Display() const { return FDisplay; }

    // Seconds from the start of program (run in folder, with the given cache) to the map of
    // its first top-level window; the program is killed then.
    double TimeToWindow(const std::string& program, const std::string& cache)
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(FConnection))
            std::free(e);
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("DISPLAY", FDisplay.c_str(), 1);
            ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
            ::unsetenv("QT_QPA_PLATFORM");
            ::freopen("/dev/null", "w", stderr);
            if (::chdir(fs::path(program).parent_path().c_str()) == 0)
                ::execl(program.c_str(), "Setup", nullptr);
            std::_Exit(127);
        }
        double seconds = -1;
        while (seconds < 0) {
            xcb_generic_event_t* e = xcb_wait_for_event(FConnection);
            if (!e)
                throw std::runtime_error("the X connection broke");
            if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY)
                seconds = SecondsSince(t0);
            std::free(e);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return seconds;
    }

private:
    std::string FDisplay;
    pid_t FPid = 0;
    xcb_connection_t* FConnection = nullptr;
};
}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!fs::exists(SETUP_PORTABLE_FILE)) {
        std::fprintf(stderr, "build the portable target first: %s\n", SETUP_PORTABLE_FILE);
        return 1;
    }
    try {
        TScratchFolder scratch("portable-bench");
        const std::string plain = scratch.Fresh("plain") + "/Setup";
        const std::string portable = scratch.Fresh("portable") + "/Setup";
        fs::create_directories(fs::path(plain).parent_path());
        fs::create_directories(fs::path(portable).parent_path());
        fs::copy_file(SETUP_PLAIN_PROGRAM, plain);
        fs::copy_file(SETUP_PORTABLE_FILE, portable);
        const std::string warm = scratch.Fresh("warm-cache");
        TXServer x;
        x.TimeToWindow(portable, warm);  // fills the warm cache and the page cache
        x.TimeToWindow(plain, warm);
        TSeries plainRuns, firstRuns, laterRuns;
        for (int round = 0; round < rounds; ++round) {
            for (int side : RoundOrder(round, 3)) {
                if (side == 0)
                    plainRuns.Add(x.TimeToWindow(plain, warm));
                else if (side == 1)
                    firstRuns.Add(x.TimeToWindow(portable, scratch.Fresh("cold-cache#")));
                else
                    laterRuns.Add(x.TimeToWindow(portable, warm));
            }
        }
        const double first = firstRuns.Median() - plainRuns.Median();
        const double later = laterRuns.Median() - plainRuns.Median();
        std::printf("start to window, %d rounds, load %.2f (seconds, median (min-max))\n", rounds, LoadAverage());
        std::printf("  plain build            %s\n", plainRuns.Text().c_str());
        std::printf("  portable, first start  %s  %+.3f s against plain (target at most +1.5 s)\n",
                    firstRuns.Text().c_str(), first);
        std::printf("  portable, later starts %s  %+.1f ms against plain (target at most +50 ms)\n",
                    laterRuns.Text().c_str(), later * 1000);
        std::printf("  portable file %.1f MB (target at most 40 MB)\n", double(fs::file_size(portable)) / 1e6);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_portable_start: %s\n", e.what());
        return 1;
    }
    return 0;
}
