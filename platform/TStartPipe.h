#pragma once

#include <string>

// How a started program tells the one that started it that it is up. One end of a socket
// pair (a pipe that never raises SIGPIPE) is handed down as descriptor HandedFd, named in the environment variable Variable;
// both survive exec (a shell script can write to it too), so a launcher that execs the real program passes them on. The
// starter sees a byte once the program confirms, or the end when every holder of
// the write end is gone without one (it exited or died by a signal).
class TStartPipe {
public:
    static const char* const Variable;  // "SETUP_STARTED_FD"
    static const int HandedFd = 3;

    enum class TState { Waiting, Confirmed, Ended };

    TStartPipe();
    ~TStartPipe();
    TStartPipe(const TStartPipe&) = delete;
    TStartPipe& operator=(const TStartPipe&) = delete;

    // Starts path detached with the write end handed down; our own write end is closed
    // then, so only the program holds it. False when it could not start.
    bool StartDetached(const std::string& path);
    // The read end, for waiting on it.
    int ReadHandle() const { return FRead; }
    // Looks without waiting.
    TState Poll();

    // In the started program, before it starts anything itself: takes the write end out
    // of the environment so no program it starts inherits it.
    static void Adopt();
    // Says the program is up (once; later calls do nothing).
    static void Confirm();
    // A start pipe was adopted and not yet confirmed.
    static bool Awaited();

private:
    int FRead = -1;
    int FWrite = -1;
    TState FState = TState::Waiting;
};
