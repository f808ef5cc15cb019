#pragma once

#include <stdexcept>
#include <string>

// Base of every error the program raises; the message is the text a user may see.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};
