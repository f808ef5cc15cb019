#include "update/TSharedString.h"

std::string TSharedString::Get() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FValue;
}

void TSharedString::Set(const std::string& value)
{
    std::lock_guard<std::mutex> g(FLock);
    FValue = value;
}
