#include "archive/TPendingError.h"

void TPendingError::Set(const std::string& text) noexcept
{
    Set(text, TFailReason::Other, std::string());
}

void TPendingError::Set(const std::string& text, TFailReason reason, const std::string& item) noexcept
{
    std::lock_guard<std::mutex> g(Lock);
    if (Has)
        return;
    try {
        Text = text;
        Item = item;
    } catch (...) {
        Text.clear();
        Item.clear();
    }
    Reason = reason;
    Has.store(true, std::memory_order_release);
}

bool TPendingError::Take(std::string& text)
{
    TFailReason reason;
    std::string item;
    return Take(text, reason, item);
}

bool TPendingError::Take(std::string& text, TFailReason& reason, std::string& item)
{
    std::lock_guard<std::mutex> g(Lock);
    if (!Has)
        return false;
    text = std::move(Text);
    item = std::move(Item);
    reason = Reason;
    Text.clear();
    Item.clear();
    Reason = TFailReason::Other;
    Has = false;
    return true;
}

void TPendingError::Clear()
{
    std::lock_guard<std::mutex> g(Lock);
    Text.clear();
    Item.clear();
    Reason = TFailReason::Other;
    Has = false;
}
