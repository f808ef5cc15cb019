#pragma once

#include <cstddef>
#include <cstdint>

// Destination of a fetched body. Seekable so a redirect can start the body over, and
// truncatable so a shorter final body leaves nothing of an earlier one behind.
class THttpStream {
public:
    virtual ~THttpStream() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
    virtual std::uint64_t Position() const = 0;
    virtual void SetPosition(std::uint64_t position) = 0;
    // Drops everything from the current position on.
    virtual void Truncate() = 0;
    // A hint that about this many more bytes are coming; the default ignores it.
    virtual void Reserve(std::uint64_t /*additional*/) {}
    // Room for size bytes at the current position that the reader may fill in place,
    // saving a copy; nullptr when the stream keeps its memory to itself. Commit then
    // counts how many of them were filled.
    virtual char* Lend(std::size_t /*size*/) { return nullptr; }
    virtual void Commit(std::size_t /*size*/) {}
};
