#pragma once

#include <mutex>
#include <string>

// An error raised inside a callback of the library, kept until the library call returns
// so that no exception unwinds through the library. The first error wins: later ones
// are usually its consequences.
class TPendingError {
public:
    void Set(const std::string& text) noexcept;
    // The kept text, if any, and clears it.
    bool Take(std::string& text);
    void Clear();
    bool Pending();

private:
    std::mutex Lock;
    std::string Text;
    bool Has = false;
};
