#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveInterfaces.h"

// What an opened archive says of itself as a whole, read once the library's Open has
// returned: whether it is whole, which volume it missed, how to decode it.
class TArchiveChecks {
public:
    // A number property of the archive; present tells whether it has one.
    static uint64_t Number(IInArchive& archive, TPropId id, bool& present);
    static uint64_t VariantNumber(const TPropVariant& v, bool& present);
    static bool IsSolid(IInArchive& archive);
    // Raises when the library's archive-level flags, or a physical size beyond the end of
    // the stream (openedSize, when known), say that the archive is damaged or incomplete.
    static void CheckState(IInArchive& archive, bool haveOpenedSize, uint64_t openedSize);
    // False when the file is a RAR archive that stops before its end-of-archive block.
    static bool RarComplete(IInArchive& archive, const std::string& fileName);
    // The first part of a volume set the library asked for and did not get; empty if none.
    static std::string MissingVolume(IInArchive& archive);
    // One decoding thread for a 7z whose LZMA2 is a single block; firstMethod is the
    // method text of its first file with data.
    static void ChooseDecoderThreads(IInArchive& archive, const std::wstring& firstMethod,
                                     const std::string& fileName);
};
