#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reading single values from the registry files of a Wine prefix (system.reg, user.reg),
// in the text form Wine writes them:
//   WINE REGISTRY Version 2
//   [Software\\Classes\\.wotreplay\\DefaultIcon] 1700000000
//   @="\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0"

inline constexpr uint32_t RegSz = 1;
inline constexpr uint32_t RegExpandSz = 2;
inline constexpr uint32_t RegBinary = 3;
inline constexpr uint32_t RegDword = 4;
inline constexpr uint32_t RegMultiSz = 7;

// Real registry files are a few MiB; anything far larger is not one.
inline constexpr size_t MaxRegistryFileSize = 64u << 20;

enum class TRegistryLookup { NoKey, NoValue, Found };

struct TRegistryValue {
    uint32_t Type = 0;
    std::string Text;  // string types only: UTF-8, cut at the first zero character
};

// Looks a value up in the text of a registry file; key names and value names compare
// without regard to case; valueName "" is the default value ("@"). A file without Wine's
// header has no keys; malformed lines are skipped, as Wine skips them.
TRegistryLookup FindRegistryValue(std::string_view fileText, std::string_view keyPath, std::string_view valueName,
                                  TRegistryValue& out);
// The same on a file; raises Exception when it is unreadable or larger than
// MaxRegistryFileSize.
TRegistryLookup ReadRegistryValue(const std::string& path, std::string_view keyPath, std::string_view valueName,
                                  TRegistryValue& out);
