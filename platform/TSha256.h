#pragma once

#include <cstddef>
#include <string>

// A SHA-256 computed piece by piece, through OpenSSL's libcrypto.
class TSha256 {
public:
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const void* data, std::size_t size);
    // Starts over, as if nothing had been added.
    void Reset();
    // Lower-case hex of what was added so far; more may be added afterwards.
    std::string HexDigest() const;
    // Lower-case hex SHA-256 of one piece of memory.
    static std::string OfBytes(const void* data, std::size_t size);

private:
    void* FContext;
};
