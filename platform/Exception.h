#pragma once

#include <stdexcept>
#include <string>

// Base of every error the program raises; the message is the text a user may see.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message, int systemError = 0)
        : std::runtime_error(message), FSystemError(systemError)
    {
    }
    // The error number (errno) of the failed system call behind it; 0 when there is none.
    int SystemError() const { return FSystemError; }

private:
    int FSystemError;
};
