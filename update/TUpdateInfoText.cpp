#include "update/TUpdateInfoText.h"

#include "platform/TTextCodec.h"

#include <cstdint>
#include <cstring>

namespace {
// Windows-1251 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::uint16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};
}

bool TUpdateInfoText::IsValidUtf8(const std::string& bytes)
{
    return TTextCodec::IsValidUtf8(bytes);
}

std::string TUpdateInfoText::FromWindows1251(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xC0)
            TTextCodec::AppendUtf8(out, Cp1251High[c - 0x80]);
        else
            TTextCodec::AppendUtf8(out, 0x0410u + (c - 0xC0u));
    }
    return out;
}

std::string TUpdateInfoText::Decode(const std::string& bytes)
{
    const std::string text = bytes.substr(0, std::strlen(bytes.c_str()));
    if (!IsValidUtf8(text))
        return FromWindows1251(text);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return text.substr(3);
    return text;
}
