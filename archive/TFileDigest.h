#pragma once

#include <cstdint>
#include <string>

// What the install record knows of a file's content: its size and fingerprint. Records
// now keep XXH3-128 (32 hex digits); those of the first format kept SHA-256 (64 digits),
// and a fingerprint is always compared by the sum it was made with.
class TFileDigest {
public:
    // False (and nothing set) when the path is not a readable regular file. The sum is the
    // one of like: its length tells it (a fingerprint as stored in a record).
    static bool Compute(const std::string& path, uint64_t& size, std::string& fingerprint,
                        const std::string& like = std::string());
    // The fingerprint new records keep, of bytes.
    static std::string Fingerprint(const std::string& bytes);
    // SHA-256 of bytes, in lower-case hex: the record's own checksum and its folder ids.
    static std::string OfBytes(const std::string& bytes);
};
