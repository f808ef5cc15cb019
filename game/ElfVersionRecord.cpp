#include "game/ElfVersionRecord.h"

#include "game/ByteOrder.h"

#include <cstring>

namespace {

constexpr uint32_t ShtNobits = 8;
constexpr uint32_t ShnXindex = 0xFFFF;
// Far more sections than any executable has; bounds the walk over a hostile table.
constexpr uint64_t MaxSections = 1u << 16;

struct TElfLayout {
    bool Is64 = false;
    bool BigEndian = false;

    uint16_t U16(const unsigned char* p) const { return BigEndian ? LoadBE16(p) : LoadLE16(p); }
    uint32_t U32(const unsigned char* p) const { return BigEndian ? LoadBE32(p) : LoadLE32(p); }
    uint64_t Word(const unsigned char* p) const
    {
        return Is64 ? (BigEndian ? LoadBE64(p) : LoadLE64(p)) : U32(p);
    }
};

struct TSectionHeader {
    uint32_t Name = 0;
    uint32_t Type = 0;
    uint64_t Offset = 0;
    uint64_t Size = 0;
    uint32_t Link = 0;
};

bool ReadSectionHeader(const TByteSource& file, const TElfLayout& elf, uint64_t at, TSectionHeader& out)
{
    unsigned char h[64];
    const size_t size = elf.Is64 ? 64 : 40;
    if (!file.ReadAt(at, h, size))
        return false;
    out.Name = elf.U32(h);
    out.Type = elf.U32(h + 4);
    out.Offset = elf.Word(h + (elf.Is64 ? 24 : 16));
    out.Size = elf.Word(h + (elf.Is64 ? 32 : 20));
    out.Link = elf.U32(h + (elf.Is64 ? 40 : 24));
    return true;
}

bool NameIs(const TByteSource& file, const TSectionHeader& strtab, uint32_t nameOffset, const char* wanted)
{
    const size_t len = std::strlen(wanted) + 1;  // with its terminating zero
    if (nameOffset > strtab.Size || len > strtab.Size - nameOffset)
        return false;
    char name[64];
    if (len > sizeof name || !file.ReadAt(strtab.Offset + nameOffset, name, len))
        return false;
    return std::memcmp(name, wanted, len) == 0;
}

}  // namespace

bool ReadElfVersionRecord(const TByteSource& file, TFixedFileInfo& out)
{
    unsigned char eh[64];
    if (!file.ReadAt(0, eh, 52) || std::memcmp(eh, "\x7f" "ELF", 4) != 0)
        return false;
    TElfLayout elf;
    if (eh[4] != 1 && eh[4] != 2)
        return false;
    if (eh[5] != 1 && eh[5] != 2)
        return false;
    elf.Is64 = eh[4] == 2;
    elf.BigEndian = eh[5] == 2;
    if (elf.Is64 && !file.ReadAt(0, eh, 64))
        return false;
    const uint64_t shoff = elf.Word(eh + (elf.Is64 ? 40 : 32));
    const unsigned char* tail = eh + (elf.Is64 ? 58 : 46);
    const uint16_t entrySize = elf.U16(tail);
    uint64_t count = elf.U16(tail + 2);
    uint32_t strIndex = elf.U16(tail + 4);
    if (shoff == 0 || entrySize < (elf.Is64 ? 64 : 40))
        return false;

    // Counts that do not fit the header live in the first section header.
    if (count == 0 || strIndex == ShnXindex) {
        TSectionHeader first;
        if (!ReadSectionHeader(file, elf, shoff, first))
            return false;
        if (count == 0)
            count = first.Size;
        if (strIndex == ShnXindex)
            strIndex = first.Link;
    }
    if (count == 0 || count > MaxSections || strIndex >= count)
        return false;
    if (shoff > file.Size() || count * entrySize > file.Size() - shoff)
        return false;

    TSectionHeader strtab;
    if (!ReadSectionHeader(file, elf, shoff + uint64_t(strIndex) * entrySize, strtab) || strtab.Type == ShtNobits)
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        TSectionHeader s;
        if (!ReadSectionHeader(file, elf, shoff + i * entrySize, s))
            return false;
        if (!NameIs(file, strtab, s.Name, VersionRecordSection))
            continue;
        unsigned char record[FixedFileInfoSize];
        if (s.Type == ShtNobits || s.Size < FixedFileInfoSize || !file.ReadAt(s.Offset, record, sizeof record))
            return false;
        return DecodeFixedFileInfo(record, elf.BigEndian, out);
    }
    return false;
}
