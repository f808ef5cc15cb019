// The version record readers on arbitrary bytes: a PE file's resource tree and an ELF
// file's section headers.
#include "game/ElfVersionRecord.h"
#include "game/PeVersionRecord.h"
#include "game/TMemoryByteSource.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TMemoryByteSource source(data, size);
    TFixedFileInfo info {};
    if (ReadPeVersionRecord(source, info))
        (void)FormatFileVersion(info);
    ReadElfVersionRecord(source, info);
    return 0;
}
