#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "shell/TFailReason.h"

// An error raised inside a callback of the library, kept until the library call returns
// so that no exception unwinds through the library. The first error wins: later ones
// are usually its consequences.
class TPendingError {
public:
    void Set(const std::string& text) noexcept;
    void Set(const std::string& text, TFailReason reason, const std::string& item) noexcept;
    // The kept text, if any, and clears it.
    bool Take(std::string& text);
    // The same with the reason and the item named when it was set.
    bool Take(std::string& text, TFailReason& reason, std::string& item);
    void Clear();
    // True while an error is kept; cheap enough to ask on every callback.
    bool Any() const { return Has.load(std::memory_order_acquire); }

private:
    std::mutex Lock;
    std::string Text;
    std::string Item;
    TFailReason Reason = TFailReason::Other;
    std::atomic<bool> Has{false};
};
