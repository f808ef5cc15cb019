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
    // publicKeyHex empty: line 4 is ignored. Otherwise lines 1 to 3 joined by LF must carry
    // a valid Ed25519 signature in line 4. Raises EUpdateError.
    static TBuildUpd Parse(const std::string& text, const std::string& publicKeyHex);
};
