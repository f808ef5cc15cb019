#include "game/CaseFold.h"

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

void AppendUtf8(std::string& out, char32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t NextCodePoint(std::string_view s, size_t& pos)
{
    const auto lead = static_cast<unsigned char>(s[pos++]);
    int extra = 0;
    char32_t cp = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return lead;
    }
    if (pos + extra > s.size())
        return lead;
    for (int i = 0; i < extra; ++i) {
        const auto c = static_cast<unsigned char>(s[pos + i]);
        if ((c & 0xC0) != 0x80)
            return lead;
        cp = cp << 6 | (c & 0x3F);
    }
    pos += extra;
    return cp;
}

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
        const char32_t cp = NextCodePoint(utf8, pos);
        const char32_t folded = FoldCodePoint(cp);
        const bool malformed = cp >= 0x80 && pos - start == 1;
        if (folded == cp || malformed)
            out.append(utf8.substr(start, pos - start));  // keeps malformed bytes intact
        else
            AppendUtf8(out, folded);
    }
}

bool SameTextNoCase(std::string_view a, std::string_view b)
{
    return FoldCase(a) == FoldCase(b);
}
