#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Character helpers shared by the program's text readers (registry files, update notices,
// names compared without regard to case): one UTF-8 decoder, one encoder, one hex digit.
class TTextCodec {
public:
    // The value of a hexadecimal digit of either case; -1 for any other character.
    static int HexDigit(char c);
    // Decodes the UTF-8 sequence at pos and moves pos past it. A byte that does not start a
    // well-formed sequence (a stray continuation byte, a cut sequence, an overlong form, a
    // surrogate, a value past U+10FFFF) comes back as its own value, and only it is consumed.
    static char32_t NextCodePoint(std::string_view s, std::size_t& pos);
    // True when all of s is well-formed UTF-8.
    static bool IsValidUtf8(std::string_view s);
    // Appends a code point as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
    static void AppendUtf8(std::string& out, char32_t cp);
};
