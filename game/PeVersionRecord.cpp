#include "game/PeVersionRecord.h"

#include "game/ByteOrder.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t RtVersion = 16;
constexpr uint32_t HighBit = 0x80000000u;
// wLength of VS_VERSIONINFO is 16 bits wide, so no record is longer.
constexpr uint32_t MaxRecordSize = 0xFFFF;

struct TSection {
    uint32_t VirtualAddress;
    uint32_t Span;  // bytes of the section present in the file
    uint32_t RawPointer;
};

class TPeImage {
public:
    explicit TPeImage(const TByteSource& file) : File(file) {}

    bool Load(uint32_t& resourceRva);
    // Reads len bytes at a relative virtual address, only from data present in the file.
    bool ReadRva(uint64_t rva, void* dst, size_t len) const;

private:
    const TByteSource& File;
    std::vector<TSection> Sections;
};

bool TPeImage::Load(uint32_t& resourceRva)
{
    unsigned char dos[64];
    if (!File.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    const uint64_t peOffset = LoadLE32(dos + 0x3C);
    unsigned char coff[24];
    if (!File.ReadAt(peOffset, coff, sizeof coff) || coff[0] != 'P' || coff[1] != 'E' || coff[2] || coff[3])
        return false;
    const uint16_t sectionCount = LoadLE16(coff + 6);
    const uint16_t optionalSize = LoadLE16(coff + 20);
    const uint64_t optionalOffset = peOffset + sizeof coff;

    std::vector<unsigned char> optional(optionalSize);
    if (optionalSize < 2 || !File.ReadAt(optionalOffset, optional.data(), optional.size()))
        return false;
    size_t countAt = 0, dirsAt = 0;
    switch (LoadLE16(optional.data())) {
    case 0x10B: countAt = 92; dirsAt = 96; break;    // PE32
    case 0x20B: countAt = 108; dirsAt = 112; break;  // PE32+
    default: return false;
    }
    const size_t resourceDirAt = dirsAt + 2 * 8;
    if (optional.size() < resourceDirAt + 8 || LoadLE32(optional.data() + countAt) < 3)
        return false;
    resourceRva = LoadLE32(optional.data() + resourceDirAt);
    if (resourceRva == 0)
        return false;

    std::vector<unsigned char> table(static_cast<size_t>(sectionCount) * 40);
    if (!File.ReadAt(optionalOffset + optionalSize, table.data(), table.size()))
        return false;
    Sections.reserve(sectionCount);
    for (size_t i = 0; i < sectionCount; ++i) {
        const unsigned char* s = table.data() + i * 40;
        const uint32_t virtualSize = LoadLE32(s + 8);
        const uint32_t rawSize = LoadLE32(s + 16);
        const uint32_t span = virtualSize ? std::min(virtualSize, rawSize) : rawSize;
        Sections.push_back({LoadLE32(s + 12), span, LoadLE32(s + 20)});
    }
    return true;
}

bool TPeImage::ReadRva(uint64_t rva, void* dst, size_t len) const
{
    for (const TSection& s : Sections) {
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.Span)
            continue;
        const uint64_t inside = rva - s.VirtualAddress;
        if (len > s.Span - inside)
            return false;
        return File.ReadAt(s.RawPointer + inside, dst, len);
    }
    return false;
}

// The entry a resource directory level leads to: RT_VERSION at the top, resource 1 (or
// else the first one) below it, the first language below that. Walking a fixed three
// levels means a directory pointing back at itself cannot loop.
bool PickEntry(const TPeImage& image, uint32_t resourceRva, uint32_t dirOffset, int level, uint32_t& target)
{
    unsigned char dir[16];
    if (!image.ReadRva(uint64_t(resourceRva) + dirOffset, dir, sizeof dir))
        return false;
    const uint32_t named = LoadLE16(dir + 12);
    const uint32_t count = named + LoadLE16(dir + 14);
    if (count == 0)
        return false;
    std::vector<unsigned char> entries(static_cast<size_t>(count) * 8);
    if (!image.ReadRva(uint64_t(resourceRva) + dirOffset + 16, entries.data(), entries.size()))
        return false;
    long chosen = -1;
    for (uint32_t i = named; i < count; ++i) {
        const uint32_t id = LoadLE32(entries.data() + 8 * i);
        if ((level == 0 && id == RtVersion) || (level == 1 && id == 1)) {
            chosen = i;
            break;
        }
    }
    if (chosen < 0) {
        if (level == 0)
            return false;
        chosen = 0;
    }
    target = LoadLE32(entries.data() + 8 * chosen + 4);
    const bool isDirectory = (target & HighBit) != 0;
    if (isDirectory != (level < 2))
        return false;
    target &= ~HighBit;
    return true;
}

}  // namespace

bool ReadPeVersionRecord(const TByteSource& file, TFixedFileInfo& out)
{
    TPeImage image(file);
    uint32_t resourceRva = 0;
    if (!image.Load(resourceRva))
        return false;
    uint32_t offset = 0;
    for (int level = 0; level < 3; ++level) {
        if (!PickEntry(image, resourceRva, offset, level, offset))
            return false;
    }
    unsigned char dataEntry[16];
    if (!image.ReadRva(uint64_t(resourceRva) + offset, dataEntry, sizeof dataEntry))
        return false;
    const uint32_t dataRva = LoadLE32(dataEntry);
    const uint32_t dataSize = std::min(LoadLE32(dataEntry + 4), MaxRecordSize);
    if (dataSize < 6)
        return false;
    std::vector<unsigned char> record(dataSize);
    if (!image.ReadRva(dataRva, record.data(), record.size()))
        return false;

    // VS_VERSIONINFO: wLength, wValueLength, wType, the key in UTF-16 up to its zero,
    // padding to 32 bits, then the value: the fixed file information.
    const size_t length = std::min<size_t>(LoadLE16(record.data()), record.size());
    const uint16_t valueLength = LoadLE16(record.data() + 2);
    size_t at = 6;
    while (at + 2 <= length && LoadLE16(record.data() + at) != 0)
        at += 2;
    at += 2;
    at = (at + 3) & ~size_t(3);
    if (valueLength < FixedFileInfoSize || at + FixedFileInfoSize > length)
        return false;
    return DecodeFixedFileInfo(record.data() + at, false, out);
}
