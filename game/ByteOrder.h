#pragma once

#include <cstdint>

// Loads of fixed byte order from unaligned bytes of a file.
inline uint16_t LoadLE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LoadLE32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t LoadLE64(const unsigned char* p) { return LoadLE32(p) | static_cast<uint64_t>(LoadLE32(p + 4)) << 32; }
inline uint16_t LoadBE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t LoadBE32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           static_cast<uint32_t>(p[3]);
}
inline uint64_t LoadBE64(const unsigned char* p) { return static_cast<uint64_t>(LoadBE32(p)) << 32 | LoadBE32(p + 4); }
