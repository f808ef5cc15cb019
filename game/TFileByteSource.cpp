#include "game/TFileByteSource.h"

TFileByteSource::TFileByteSource(const std::string& path) : File(path) {}

uint64_t TFileByteSource::Size() const
{
    return File.Size();
}

bool TFileByteSource::ReadAt(uint64_t offset, void* dst, size_t len) const
{
    return File.ReadAt(offset, dst, len);
}
