#pragma once

#include <string>
#include <string_view>

// Comparison of UTF-8 names without regard to case, as Windows compares registry keys and
// file names: ASCII, Latin-1, Greek and Cyrillic letters fold; other bytes compare as is.
std::string FoldCase(std::string_view utf8);
// The same into out (replacing its content), for loops that reuse one buffer.
void FoldCaseInto(std::string_view utf8, std::string& out);
bool SameTextNoCase(std::string_view a, std::string_view b);

// Appends a code point as UTF-8 (surrogates and values past U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);
// Decodes one UTF-8 sequence at pos, advancing pos; a malformed byte is returned as itself.
char32_t NextCodePoint(std::string_view s, size_t& pos);
