#include "archive/TPendingError.h"

void TPendingError::Set(const std::string& text) noexcept
{
    std::lock_guard<std::mutex> g(Lock);
    if (Has)
        return;
    try {
        Text = text;
    } catch (...) {
        Text.clear();
    }
    Has.store(true, std::memory_order_release);
}

bool TPendingError::Take(std::string& text)
{
    std::lock_guard<std::mutex> g(Lock);
    if (!Has)
        return false;
    text = std::move(Text);
    Text.clear();
    Has = false;
    return true;
}

void TPendingError::Clear()
{
    std::lock_guard<std::mutex> g(Lock);
    Text.clear();
    Has = false;
}
