#pragma once

#include "update/TBuildUpd.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads the server's Build.upd and decides whether it may be trusted.
class TBuildUpdReader {
public:
    // Lines end at CR LF, LF or a lone CR; a zero byte ends the text; a line end at the
    // very end starts no further line.
    static std::vector<std::string> SplitLines(const std::string& text);
    // Leading blanks, an optional sign, decimal digits or hex digits after "$", "x", "X",
    // "0x", "0X", nothing after them; decimal must fit a signed 32-bit integer.
    static bool ParseInteger(const std::string& line, std::int32_t& value);
    // Line 2 comes back as UTF-8 (taken as UTF-8 when it is, else as Windows-1251).
    // publicKeyHex empty: a line 3 that is no SHA-256 digest and line 4 are ignored.
    // Otherwise line 3 must be a digest and lines 1 to 3 joined by LF must carry a valid
    // Ed25519 signature in line 4. Raises EUpdateError.
    static TBuildUpd Parse(const std::string& text, const std::string& publicKeyHex);
};
