#pragma once

#include <cstddef>
#include <string>

// XXH3-128 computed piece by piece (Debian's xxHash, compiled in): a fingerprint that notices
// any change to a file at a small part of SHA-256's cost, where no adversary is involved.
class TXxh3 {
public:
    TXxh3();
    ~TXxh3();
    TXxh3(const TXxh3&) = delete;
    TXxh3& operator=(const TXxh3&) = delete;

    void Update(const void* data, std::size_t size);
    // Lower-case hex (32 digits) of what was added so far.
    std::string HexDigest() const;
    static std::string OfBytes(const void* data, std::size_t size);

private:
    void* FState;
};
