#include "archive/TZipUnicodePath.h"

#include <string>

#include "platform/THostStream.h"
#include "platform/TTextCodec.h"

namespace {
constexpr uint32_t LocalSignature = 0x04034B50;
constexpr uint32_t LocalHeaderSize = 30;
constexpr uint32_t UnicodePathId = 0x7075;

uint32_t Le16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Crc32(const std::string& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= static_cast<uint8_t>(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}
}  // namespace

bool TZipUnicodePath::Rejected(THostStream& file, uint64_t pos)
{
    uint8_t h[LocalHeaderSize] = {};
    file.Seek(static_cast<int64_t>(pos), 0);
    if (file.Read(h, LocalHeaderSize) != LocalHeaderSize || Le32(h) != LocalSignature)
        return false;
    const uint32_t nameSize = Le16(h + 26), extraSize = Le16(h + 28);
    std::string name(nameSize, '\0'), extra(extraSize, '\0');
    if (file.Read(name.data(), nameSize) != nameSize || file.Read(extra.data(), extraSize) != extraSize)
        return false;
    const auto* x = reinterpret_cast<const uint8_t*>(extra.data());
    for (uint32_t at = 0; at + 4 <= extraSize;) {
        const uint32_t id = Le16(x + at), size = Le16(x + at + 2);
        at += 4;
        if (size > extraSize - at)
            return false;
        if (id == UnicodePathId) {
            // The library's own test: version 0 or 1, the stored name's CRC, UTF-8 without NULs.
            if (size < 5 || x[at] > 1 || Le32(x + at + 1) != Crc32(name))
                return true;
            const std::string text(extra.data() + at + 5, size - 5);
            return text.find('\0') != std::string::npos || !TTextCodec::IsValidUtf8(text);
        }
        at += size;
    }
    return false;
}
