#pragma once

#include <string>
#include <string_view>

// Comparison of UTF-8 names without regard to case, as Windows compares registry keys and
// file names: ASCII, Latin-1, Greek and Cyrillic letters fold; other bytes compare as is.
std::string FoldCase(std::string_view utf8);
// The same into out (replacing its content), for loops that reuse one buffer.
void FoldCaseInto(std::string_view utf8, std::string& out);
bool SameTextNoCase(std::string_view a, std::string_view b);
