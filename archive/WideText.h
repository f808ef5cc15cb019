#pragma once

#include <string>

// Item paths come from the library as wide strings; file names of this system are
// 8-bit strings in UTF-8. UTF-16 pairs are joined; code points that cannot be encoded
// become U+FFFD.
std::string WideToSystem(const std::wstring& text);
std::wstring SystemToWide(const std::string& text);
