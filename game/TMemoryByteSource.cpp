#include "game/TMemoryByteSource.h"

#include <cstring>

TMemoryByteSource::TMemoryByteSource(const void* data, size_t size)
    : Data(static_cast<const unsigned char*>(data)), DataSize(size)
{
}

bool TMemoryByteSource::ReadAt(uint64_t offset, void* dst, size_t len) const
{
    if (offset > DataSize || len > DataSize - offset)
        return false;
    if (len > 0)
        std::memcpy(dst, Data + offset, len);
    return true;
}
