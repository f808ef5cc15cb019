#pragma once

#include <string>

#include "archive/ArchiveInterfaces.h"

// The library's format ids this program asks for, and what its result codes say.
inline constexpr TGUID CLSID_FormatZip = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0x01, 0, 0}};
inline constexpr TGUID CLSID_FormatRar = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0x03, 0, 0}};
// RAR5 archives have a handler of their own, which the ".rar" id falls back to.
inline constexpr TGUID CLSID_FormatRar5 = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0xCC, 0, 0}};
inline constexpr TGUID CLSID_Format7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0x07, 0, 0}};
inline constexpr TGUID NullGuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// ext includes its point (".7z"); compared without regard to case. False: no known format.
bool FormatIdForExtension(const std::string& ext, TGUID& id);

// A readable text for a result code of the library.
std::string ResultCodeText(THResult code);
// Raises EArchiveError with ResultCodeText(code) unless code is 0.
void CheckResult(THResult code);
