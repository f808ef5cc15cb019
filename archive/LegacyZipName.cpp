#include "archive/LegacyZipName.h"

#include <cstdint>

#include "platform/TTextCodec.h"

namespace {

// The upper half of CP866.
constexpr char16_t kCp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// Bytes that are not UTF-8, as 7-Zip keeps them in its UTF-8 reading: U+EF00 plus the byte.
constexpr uint32_t kKeptByteBase = 0xEF00;
constexpr uint32_t kKeptByteFirst = 0xEF80;
constexpr uint32_t kKeptByteLast = 0xEFFF;

bool IsKeptByte(uint32_t c)
{
    return c >= kKeptByteFirst && c <= kKeptByteLast;
}

// The library gives characters above U+FFFF as UTF-16 pairs even in its 4-byte strings.
std::wstring JoinSurrogates(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<uint32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::wstring FromBytes(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    if (TTextCodec::IsValidUtf8(bytes)) {
        for (size_t pos = 0; pos < bytes.size();)
            out += static_cast<wchar_t>(TTextCodec::NextCodePoint(bytes, pos));
        return out;
    }
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += static_cast<wchar_t>(b < 0x80 ? b : kCp866High[b - 0x80]);
    }
    return out;
}

}  // namespace

std::wstring DecodeLegacyZipName(const std::wstring& libraryName, bool libraryReadsUtf8)
{
    bool high = false;
    bool wide = false;
    bool kept = false;
    for (wchar_t wc : libraryName) {
        const auto c = static_cast<uint32_t>(wc);
        high = high || c >= 0x80;
        wide = wide || c > 0xFF;
        kept = kept || IsKeptByte(c);
    }
    if (!high)
        return libraryName;

    std::string bytes;
    bytes.reserve(libraryName.size() * 2);
    if (libraryReadsUtf8) {
        // Nothing kept: the bytes were valid UTF-8 and the library's reading is theirs.
        if (!kept)
            return JoinSurrogates(libraryName);
        // Decoded parts go back to their UTF-8 bytes, kept bytes to themselves.
        for (wchar_t wc : JoinSurrogates(libraryName)) {
            const auto c = static_cast<uint32_t>(wc);
            if (IsKeptByte(c))
                bytes += static_cast<char>(c - kKeptByteBase);
            else
                TTextCodec::AppendUtf8(bytes, c);
        }
    } else {
        if (wide)
            return libraryName;  // not one character per byte: nothing to take back
        for (wchar_t wc : libraryName)
            bytes += static_cast<char>(wc);
    }
    return FromBytes(bytes);
}

bool CharacteristicsHave(const std::wstring& characteristics, const std::wstring& word)
{
    size_t i = 0;
    const size_t n = characteristics.size();
    while (i < n) {
        while (i < n && characteristics[i] == L' ')
            ++i;
        size_t end = i;
        while (end < n && characteristics[end] != L' ')
            ++end;
        if (end > i && characteristics.compare(i, end - i, word) == 0)
            return true;
        i = end;
    }
    return false;
}
