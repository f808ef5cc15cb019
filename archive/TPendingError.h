#pragma once

#include <atomic>
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
    // True while an error is kept; cheap enough to ask on every callback.
    bool Any() const { return Has.load(std::memory_order_acquire); }

private:
    std::mutex Lock;
    std::string Text;
    std::atomic<bool> Has{false};
};
