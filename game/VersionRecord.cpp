#include "game/VersionRecord.h"

#include "game/ByteOrder.h"

bool DecodeFixedFileInfo(const unsigned char* bytes, bool bigEndian, TFixedFileInfo& out)
{
    uint32_t fields[FixedFileInfoSize / 4];
    for (size_t i = 0; i < FixedFileInfoSize / 4; ++i)
        fields[i] = bigEndian ? LoadBE32(bytes + 4 * i) : LoadLE32(bytes + 4 * i);
    if (fields[0] != FixedFileInfoSignature)
        return false;
    out = TFixedFileInfo {fields[0], fields[1], fields[2],  fields[3],  fields[4],
                          fields[5], fields[6], fields[7],  fields[8],  fields[9],
                          fields[10], fields[11], fields[12]};
    return true;
}

std::string FormatFileVersion(const TFixedFileInfo& info)
{
    return std::to_string(info.FileVersionMS >> 16) + '.' + std::to_string(info.FileVersionMS & 0xFFFF) + '.' +
           std::to_string(info.FileVersionLS >> 16) + '.' + std::to_string(info.FileVersionLS & 0xFFFF);
}
