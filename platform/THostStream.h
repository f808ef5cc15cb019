#pragma once

#include <cstdint>

// A seekable byte stream of the program. Failures raise Exception with a readable text.
class THostStream {
public:
    virtual ~THostStream() = default;
    // Up to size bytes; fewer only at the end of the stream.
    virtual uint32_t Read(void* data, uint32_t size) = 0;
    // All size bytes, or an error.
    virtual void Write(const void* data, uint32_t size) = 0;
    // origin: 0 start, 1 current position, 2 end. Returns the new position.
    virtual uint64_t Seek(int64_t offset, uint32_t origin) = 0;
    virtual uint64_t Size() = 0;
    virtual void SetSize(uint64_t size) = 0;
};
