#include "archive/TLzma2Blocks.h"

#include "platform/THostStream.h"

namespace {
// The library's multi-threaded decoder expects blocks of at most this many unpacked bytes;
// a stream with no reset before it is one block as far as that decoder can tell.
constexpr uint64_t kMaxBlockSpan = (uint64_t(1) << 28) + (uint64_t(1) << 20);
}  // namespace

TLzma2Blocks::TLayout TLzma2Blocks::Scan(THostStream& file, uint64_t pos, uint64_t end)
{
    uint64_t unpacked = 0;
    bool first = true;
    while (pos < end && unpacked <= kMaxBlockSpan) {
        uint8_t h[6] = {};
        file.Seek(static_cast<int64_t>(pos), 0);
        const uint32_t got = file.Read(h, sizeof h);
        if (got == 0)
            return TLayout::Unknown;
        const uint8_t control = h[0];
        if (control == 0)
            return first ? TLayout::Unknown : TLayout::OneBlock;
        uint64_t header = 0, packed = 0, size = 0;
        bool reset = false;
        if (control == 1 || control == 2) {  // stored chunk; 1 resets the dictionary
            if (got < 3)
                return TLayout::Unknown;
            header = 3;
            size = packed = ((uint32_t(h[1]) << 8) | h[2]) + 1u;
            reset = control == 1;
        } else if (control >= 0x80) {  // LZMA chunk; from 0xE0 on it resets the dictionary
            header = control >= 0xC0 ? 6 : 5;
            if (got < header)
                return TLayout::Unknown;
            size = ((uint32_t(control & 0x1F) << 16) | (uint32_t(h[1]) << 8) | h[2]) + 1u;
            packed = ((uint32_t(h[3]) << 8) | h[4]) + 1u;
            reset = control >= 0xE0;
        } else {
            return TLayout::Unknown;
        }
        // Every stream starts with a reset; any later one begins a block of its own.
        if (first != reset)
            return first ? TLayout::Unknown : TLayout::SeveralBlocks;
        first = false;
        unpacked += size;
        pos += header + packed;
    }
    return first ? TLayout::Unknown : TLayout::OneBlock;
}
