#include "archive/TRarEndCheck.h"

#include "platform/THostStream.h"

#include <cstring>

namespace {
constexpr uint8_t Rar4Signature[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t Rar5Signature[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
// More blocks than any real archive has; a loop guard against a crafted chain.
constexpr int MaxBlocks = 1 << 20;

uint32_t ReadAt(THostStream& file, uint64_t pos, uint8_t* buf, uint32_t size)
{
    file.Seek(static_cast<int64_t>(pos), 0);
    return file.Read(buf, size);
}

uint32_t Le16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A RAR5 variable-length number; false when it runs past end or beyond 64 bits.
bool ReadVint(const uint8_t*& p, const uint8_t* end, uint64_t& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (p >= end)
            return false;
        const uint8_t b = *p++;
        value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}
}  // namespace

bool TRarEndCheck::Complete(THostStream& file, uint64_t start)
{
    const uint64_t size = file.Size();
    uint8_t sig[8] = {};
    const uint32_t got = ReadAt(file, start, sig, sizeof sig);
    if (got >= 8 && std::memcmp(sig, Rar5Signature, 8) == 0)
        return WalkRar5(file, start + 8, size);
    if (got >= 7 && std::memcmp(sig, Rar4Signature, 7) == 0)
        return WalkRar4(file, start + 7, size);
    return true;
}

bool TRarEndCheck::WalkRar4(THostStream& file, uint64_t pos, uint64_t size)
{
    constexpr uint8_t MainHead = 0x73, FileHead = 0x74, EndHead = 0x7B;
    for (int i = 0; i < MaxBlocks; ++i) {
        uint8_t h[36] = {};
        const uint32_t got = ReadAt(file, pos, h, sizeof h);
        if (got < 7)
            return false;  // the chain stops without an end block
        const uint8_t type = h[2];
        const uint32_t flags = Le16(h + 3);
        const uint32_t headSize = Le16(h + 5);
        if (headSize < 7)
            return true;  // not a block this walk understands; the library judges
        if (type == EndHead)
            return true;
        if (type == MainHead && (flags & 0x80))
            return true;  // encrypted headers cannot be walked
        uint64_t dataSize = 0;
        if (type == FileHead || (flags & 0x8000)) {
            if (got < 11)
                return false;
            dataSize = Le32(h + 7);
            if (type == FileHead && (flags & 0x100)) {
                if (got < 36)
                    return false;
                dataSize |= static_cast<uint64_t>(Le32(h + 32)) << 32;
            }
        }
        pos += headSize + dataSize;
        if (pos > size)
            return false;  // a block reaches past the end of the file
    }
    return true;
}

bool TRarEndCheck::WalkRar5(THostStream& file, uint64_t pos, uint64_t size)
{
    constexpr uint64_t EncryptionHead = 4, EndHead = 5;
    for (int i = 0; i < MaxBlocks; ++i) {
        uint8_t h[4 + 3 * 10] = {};
        const uint32_t got = ReadAt(file, pos, h, sizeof h);
        if (got < 5)
            return false;
        const uint8_t* p = h + 4;  // after the header's CRC32
        const uint8_t* end = h + got;
        uint64_t headSize = 0, type = 0, flags = 0, extraSize = 0, dataSize = 0;
        if (!ReadVint(p, end, headSize))
            return false;
        const uint64_t bodyStart = static_cast<uint64_t>(p - h);
        if (!ReadVint(p, end, type) || !ReadVint(p, end, flags))
            return false;
        if (type == EndHead || type == EncryptionHead)
            return true;
        if ((flags & 1) && !ReadVint(p, end, extraSize))
            return false;
        if ((flags & 2) && !ReadVint(p, end, dataSize))
            return false;
        if (headSize == 0 || headSize > size || dataSize > size)
            return true;  // nonsense sizes: the library judges the archive
        pos += bodyStart + headSize + dataSize;
        if (pos > size)
            return false;
    }
    return true;
}
