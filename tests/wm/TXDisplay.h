#pragma once

#include <string>
#include <sys/types.h>

// Xvfb with openbox on a free display number, for tests whose subject is what a real window
// manager does with the window. Both processes end when it is dropped.
class TXDisplay {
public:
    TXDisplay() = default;
    ~TXDisplay();
    TXDisplay(const TXDisplay&) = delete;
    TXDisplay& operator=(const TXDisplay&) = delete;

    bool Start();  // false when the server or the manager did not come up
    const std::string& Name() const { return FName; }
    // A command's standard output, run on this display.
    std::string Capture(const std::string& command) const;

private:
    pid_t Spawn(const std::string& command) const;
    bool WaitFor(const std::string& command, const std::string& mark) const;

    std::string FName;
    pid_t FServer = -1;
    pid_t FManager = -1;
};
