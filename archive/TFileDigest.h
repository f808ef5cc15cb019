#pragma once

#include <cstdint>
#include <string>

// What the install record knows of a file's content: its size and SHA-256.
class TFileDigest {
public:
    // False (and nothing set) when the path is not a readable regular file.
    static bool Compute(const std::string& path, uint64_t& size, std::string& sha256Hex);
    // SHA-256 of bytes, in lower-case hex.
    static std::string OfBytes(const std::string& bytes);
};
