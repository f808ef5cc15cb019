#pragma once

#include <string>

// A zip item name stored without the UTF-8 flag is decoded from its bytes: as UTF-8 when
// they are valid UTF-8 (tools that write UTF-8 without setting the flag), otherwise as
// CP866, the DOS code page of Russian Windows, where such archives are made.
//
// The bytes are taken back from what 7-Zip's library made of them, which depends on the
// locale the library was loaded under. libraryReadsUtf8 (a UTF-8 locale): valid UTF-8 is
// decoded (characters above U+FFFF as UTF-16 pairs) and each byte that is not is kept as
// U+EF80-U+EFFF. Otherwise: one character per byte, U+0000-U+00FF.
std::wstring DecodeLegacyZipName(const std::wstring& libraryName, bool libraryReadsUtf8);

// Whether a zip item's characteristics text (names separated by blanks) holds the word:
// "UTF8" for the UTF-8 flag, "up" for Info-ZIP's Unicode path field.
bool CharacteristicsHave(const std::wstring& characteristics, const std::wstring& word);
