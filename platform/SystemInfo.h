#pragma once

#include <cstdint>
#include <string>

// Temporary path ending in the delimiter; "" when it cannot be read.
std::string GetTempDir();
// A new GUID in registry form: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper case.
std::string NewGuidString();
// Windows language identifier of the locale (LC_ALL, LC_MESSAGES, LANG); 0x0409 when unknown.
uint16_t GetSystemDefaultLangID();
// Maps a locale name such as "ru_RU.UTF-8" to its language identifier; 0x0409 when unknown.
uint16_t LangIdForLocaleName(const std::string& locale);
// Processors this process may run on (its affinity mask); at least 1.
int ProcessorCount();
// Whether the process's character type locale (LC_CTYPE) encodes text as UTF-8.
bool LocaleCodesetIsUtf8();
