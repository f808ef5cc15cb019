#include "game/CaseFold.h"

#include "platform/TTextCodec.h"

namespace {

char32_t FoldCodePoint(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

}  // namespace

std::string FoldCase(std::string_view utf8)
{
    std::string out;
    FoldCaseInto(utf8, out);
    return out;
}

void FoldCaseInto(std::string_view utf8, std::string& out)
{
    out.clear();
    size_t pos = 0;
    while (pos < utf8.size()) {
        const size_t start = pos;
        const char32_t cp = TTextCodec::NextCodePoint(utf8, pos);
        const char32_t folded = FoldCodePoint(cp);
        const bool malformed = cp >= 0x80 && pos - start == 1;
        if (folded == cp || malformed)
            out.append(utf8.substr(start, pos - start));  // keeps malformed bytes intact
        else
            TTextCodec::AppendUtf8(out, folded);
    }
}

bool SameTextNoCase(std::string_view a, std::string_view b)
{
    return FoldCase(a) == FoldCase(b);
}
