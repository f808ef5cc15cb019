#pragma once

#include "game/TByteSource.h"

// Bytes held by the caller, who keeps them alive while the source is used.
class TMemoryByteSource final : public TByteSource {
public:
    TMemoryByteSource(const void* data, size_t size);
    uint64_t Size() const override { return DataSize; }
    bool ReadAt(uint64_t offset, void* dst, size_t len) const override;

private:
    const unsigned char* Data;
    size_t DataSize;
};
