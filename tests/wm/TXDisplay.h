#pragma once

#include <string>
#include <sys/types.h>

// A virtual X display with the openbox window manager on it, for the few tests whose subject
// is what a real window manager does with the window. Started on a free display number,
// stopped (both processes) when dropped.
class TXDisplay {
public:
    TXDisplay() = default;
    ~TXDisplay();
    TXDisplay(const TXDisplay&) = delete;
    TXDisplay& operator=(const TXDisplay&) = delete;

    // False, with the reason in Error, when the server or the window manager did not come up.
    bool Start();
    const std::string& Name() const { return FName; }  // ":93"
    std::string Error;

    // Runs a command with this display and answers its standard output ("" on failure).
    std::string Capture(const std::string& command) const;

private:
    pid_t Spawn(const std::string& command) const;
    bool WaitFor(int ms, bool (TXDisplay::*ready)() const) const;
    bool ServerUp() const;
    bool ManagerUp() const;

    std::string FName;
    int FNumber = -1;
    pid_t FServer = -1;
    pid_t FManager = -1;
};
