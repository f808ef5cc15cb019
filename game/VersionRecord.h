#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fixed part of a version record, laid out as Windows' VS_FIXEDFILEINFO. The program's
// own record is stored in this layout too, so PE and ELF files share one check.
struct TFixedFileInfo {
    uint32_t Signature;
    uint32_t StrucVersion;
    uint32_t FileVersionMS;
    uint32_t FileVersionLS;
    uint32_t ProductVersionMS;
    uint32_t ProductVersionLS;
    uint32_t FileFlagsMask;
    uint32_t FileFlags;
    uint32_t FileOS;
    uint32_t FileType;
    uint32_t FileSubtype;
    uint32_t FileDateMS;
    uint32_t FileDateLS;
};
static_assert(sizeof(TFixedFileInfo) == 52);

inline constexpr uint32_t FixedFileInfoSignature = 0xFEEF04BD;
inline constexpr size_t FixedFileInfoSize = sizeof(TFixedFileInfo);
// ELF section that holds the program's own record (one TFixedFileInfo).
inline constexpr char VersionRecordSection[] = "setup_version";

// Decodes FixedFileInfoSize bytes; false when the signature does not match.
bool DecodeFixedFileInfo(const unsigned char* bytes, bool bigEndian, TFixedFileInfo& out);
// "major.minor.release.build" from the file version fields.
std::string FormatFileVersion(const TFixedFileInfo& info);
