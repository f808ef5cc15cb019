#include "archive/LegacyZipName.h"

#include <cstdint>

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

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(const std::wstring& bytes, std::wstring& out)
{
    out.clear();
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const auto b = static_cast<uint32_t>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        size_t len;
        uint32_t c;
        uint32_t min;
        if (b >= 0xC2 && b <= 0xDF) { len = 2; c = b & 0x1F; min = 0x80; }
        else if (b >= 0xE0 && b <= 0xEF) { len = 3; c = b & 0x0F; min = 0x800; }
        else if (b >= 0xF0 && b <= 0xF4) { len = 4; c = b & 0x07; min = 0x10000; }
        else return false;
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto cb = static_cast<uint32_t>(bytes[i + k]);
            if ((cb & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return true;
}

// Bytes that are not UTF-8, as 7-Zip's own build keeps them: U+EF00 plus the byte.
constexpr uint32_t kKeptByteBase = 0xEF00;
constexpr uint32_t kKeptByteFirst = 0xEF80;
constexpr uint32_t kKeptByteLast = 0xEFFF;

void AppendUtf8(std::wstring& bytes, uint32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        bytes += static_cast<wchar_t>(c);
    } else if (c < 0x800) {
        bytes += static_cast<wchar_t>(0xC0 | (c >> 6));
        bytes += static_cast<wchar_t>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<wchar_t>(0xE0 | (c >> 12));
        bytes += static_cast<wchar_t>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<wchar_t>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<wchar_t>(0xF0 | (c >> 18));
        bytes += static_cast<wchar_t>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<wchar_t>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<wchar_t>(0x80 | (c & 0x3F));
    }
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
        kept = kept || (c >= kKeptByteFirst && c <= kKeptByteLast);
    }
    if (!high)
        return libraryName;

    std::wstring bytes;
    if (libraryReadsUtf8) {
        // Nothing kept: the bytes were valid UTF-8 and the library's reading is theirs.
        if (!kept)
            return JoinSurrogates(libraryName);
        // Decoded parts go back to their UTF-8 bytes, kept bytes to themselves.
        for (wchar_t wc : JoinSurrogates(libraryName)) {
            const auto c = static_cast<uint32_t>(wc);
            if (c >= kKeptByteFirst && c <= kKeptByteLast)
                bytes += static_cast<wchar_t>(c - kKeptByteBase);
            else
                AppendUtf8(bytes, c);
        }
    } else {
        if (wide)
            return libraryName;  // not one character per byte: nothing to take back
        bytes = libraryName;
    }
    std::wstring out;
    if (DecodeUtf8(bytes, out))
        return out;
    out.clear();
    out.reserve(bytes.size());
    for (wchar_t wc : bytes) {
        const auto b = static_cast<uint32_t>(wc);
        out += static_cast<wchar_t>(b < 0x80 ? b : kCp866High[b - 0x80]);
    }
    return out;
}

bool CharacteristicsNameUnicode(const std::wstring& characteristics)
{
    size_t i = 0;
    const size_t n = characteristics.size();
    while (i < n) {
        while (i < n && characteristics[i] == L' ')
            ++i;
        size_t end = i;
        while (end < n && characteristics[end] != L' ')
            ++end;
        const std::wstring word = characteristics.substr(i, end - i);
        if (word == L"UTF8" || word == L"up")
            return true;
        i = end;
    }
    return false;
}
