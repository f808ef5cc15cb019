#pragma once

#include <cstddef>
#include <cstdint>

// Random-access bytes of a file or of memory, for the version record parsers.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly len bytes at offset; false when any of them lies outside the source.
    virtual bool ReadAt(uint64_t offset, void* dst, size_t len) const = 0;
};
