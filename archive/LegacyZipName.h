#pragma once

#include <string>

// A zip item name stored without the UTF-8 flag is decoded from its bytes: as UTF-8 when
// they are valid UTF-8 (tools that write UTF-8 without setting the flag), otherwise as
// CP866, the DOS code page of Russian Windows, where such archives are made.
//
// The bytes are taken back from what the library made of them. Libraries differ: some give
// one character per byte (U+0000-U+00FF); 7-Zip's own build decodes valid UTF-8 and keeps
// each byte it cannot decode as U+EF80-U+EFFF. A name with characters above U+00FF and no
// such kept bytes was valid UTF-8 and comes back unchanged.
std::wstring DecodeLegacyZipName(const std::wstring& libraryName);

// Whether a zip item's characteristics text (names separated by blanks) says that the
// library read the name as Unicode: the UTF-8 flag ("UTF8") or Info-ZIP's Unicode path
// field ("up").
bool CharacteristicsNameUnicode(const std::wstring& characteristics);
