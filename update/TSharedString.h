#pragma once

#include <mutex>
#include <string>

// A string written by one thread and read by another.
class TSharedString {
public:
    std::string Get() const;
    void Set(const std::string& value);

private:
    mutable std::mutex FLock;
    std::string FValue;
};
