#include "update/THttpMemoryStream.h"

#include "platform/TPageMemory.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

THttpMemoryStream::~THttpMemoryStream() { std::free(FData); }

namespace {
constexpr std::size_t HugeHintFrom = 8u << 20;
}  // namespace

void THttpMemoryStream::Grow(std::size_t needed)
{
    if (needed <= FCapacity)
        return;
    std::size_t capacity = FCapacity < 4096 ? 4096 : FCapacity;
    while (capacity < needed)
        capacity = capacity > std::numeric_limits<std::size_t>::max() / 2 ? needed : capacity * 2;
    Resize(capacity);
}

void THttpMemoryStream::Resize(std::size_t capacity)
{
    char* grown = static_cast<char*>(std::realloc(FData, capacity));
    if (!grown)
        throw std::bad_alloc();
    FData = grown;
    FCapacity = capacity;
    if (capacity >= HugeHintFrom)
        TPageMemory::HintHugePages(FData, FCapacity);
}

void THttpMemoryStream::Write(const char* data, std::size_t size)
{
    if (size == 0)
        return;
    if (size > std::numeric_limits<std::size_t>::max() - FPosition)
        throw std::bad_alloc();
    std::size_t end = FPosition + size;
    Grow(end);
    if (FPosition > FSize)
        std::memset(FData + FSize, 0, FPosition - FSize);
    std::memcpy(FData + FPosition, data, size);
    FPosition = end;
    if (end > FSize)
        FSize = end;
}

char* THttpMemoryStream::Lend(std::size_t size)
{
    if (size > std::numeric_limits<std::size_t>::max() - FPosition)
        throw std::bad_alloc();
    Grow(FPosition + size);
    if (FPosition > FSize) {
        std::memset(FData + FSize, 0, FPosition - FSize);
        FSize = FPosition;
    }
    return FData + FPosition;
}

void THttpMemoryStream::Commit(std::size_t size)
{
    FPosition += size;
    if (FPosition > FSize)
        FSize = FPosition;
}

void THttpMemoryStream::SetPosition(std::uint64_t position)
{
    if (position > std::numeric_limits<std::size_t>::max())
        throw std::bad_alloc();
    FPosition = static_cast<std::size_t>(position);
}

void THttpMemoryStream::Truncate()
{
    if (FPosition < FSize)
        FSize = FPosition;
}

void THttpMemoryStream::Reserve(std::uint64_t additional)
{
    if (additional > std::numeric_limits<std::size_t>::max() - FPosition)
        throw std::bad_alloc();
    // Exact size: a known Content-Length should cost its own size, not the next power of two.
    std::size_t needed = FPosition + static_cast<std::size_t>(additional);
    if (needed > FCapacity)
        Resize(needed);
}

void THttpMemoryStream::Clear()
{
    std::free(FData);
    FData = nullptr;
    FSize = FCapacity = FPosition = 0;
}
