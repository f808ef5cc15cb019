#include "game/WineRegistry.h"

#include "game/CaseFold.h"
#include "platform/TReadOnlyFile.h"
#include "platform/TTextCodec.h"

#include <cstring>

namespace {

constexpr std::string_view Header = "WINE REGISTRY Version 2";

void Utf16ToUtf8(const std::u16string& units, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        TTextCodec::AppendUtf8(out, cp);
    }
}

// Buffers reused across the lines of one file, so scanning keys does not allocate.
struct TScratch {
    std::u16string Units;
    std::string Text;
    std::string Folded;
};

// A string in Wine's escaping, from pos up to the unescaped delimiter, which is consumed.
// Escapes: \a \b \e \f \n \r \t \v, \x with up to four hex digits, up to three octal
// digits, and any other character standing for itself. False when the line ends first.
bool ParseString(std::string_view line, size_t& pos, char delimiter, std::string& out, std::u16string& units)
{
    units.clear();
    auto push = [&units](char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
    };
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == delimiter) {
            ++pos;
            Utf16ToUtf8(units, out);
            return true;
        }
        if (c != '\\') {
            push(TTextCodec::NextCodePoint(line, pos));
            continue;
        }
        if (++pos >= line.size())
            return false;
        const char e = line[pos++];
        switch (e) {
        case 'a': push(7); break;
        case 'b': push(8); break;
        case 'e': push(27); break;
        case 'f': push(12); break;
        case 'n': push(10); break;
        case 'r': push(13); break;
        case 't': push(9); break;
        case 'v': push(11); break;
        case 'x': {
            char32_t v = 0;
            int n = 0;
            while (n < 4 && pos < line.size() && TTextCodec::HexDigit(line[pos]) >= 0) {
                v = v * 16 + static_cast<char32_t>(TTextCodec::HexDigit(line[pos++]));
                ++n;
            }
            // a UTF-16 code unit: pairs of escaped surrogates join when converted
            units.push_back(n ? static_cast<char16_t>(v) : u'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                char32_t v = static_cast<char32_t>(e - '0');
                for (int n = 1; n < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++n)
                    v = v * 8 + static_cast<char32_t>(line[pos++] - '0');
                push(v);
            } else {
                pos -= 1;
                push(TTextCodec::NextCodePoint(line, pos));
            }
        }
    }
    return false;
}

void SkipBlanks(std::string_view line, size_t& pos)
{
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
}

bool ConsumePrefix(std::string_view line, size_t& pos, std::string_view prefix)
{
    if (line.substr(pos, prefix.size()) != prefix)
        return false;
    pos += prefix.size();
    return true;
}

// "(hex):" after str or hex.
bool ParseTypeNumber(std::string_view line, size_t& pos, uint32_t& type)
{
    if (!ConsumePrefix(line, pos, "("))
        return false;
    uint32_t v = 0;
    int n = 0;
    while (pos < line.size() && TTextCodec::HexDigit(line[pos]) >= 0) {
        if (++n > 8)
            return false;
        v = v * 16 + static_cast<uint32_t>(TTextCodec::HexDigit(line[pos++]));
    }
    type = v;
    return n > 0 && ConsumePrefix(line, pos, "):");
}

// The data after "name=": its type and, for string forms, its text.
bool ParseData(std::string_view line, size_t pos, TRegistryValue& out, TScratch& scratch)
{
    out = TRegistryValue {};
    std::string& text = scratch.Text;
    if (ConsumePrefix(line, pos, "\"")) {
        out.Type = RegSz;
    } else if (ConsumePrefix(line, pos, "str")) {
        if (!ParseTypeNumber(line, pos, out.Type) || !ConsumePrefix(line, pos, "\""))
            return false;
    } else if (ConsumePrefix(line, pos, "dword:")) {
        out.Type = RegDword;
        return true;
    } else if (ConsumePrefix(line, pos, "hex")) {
        out.Type = RegBinary;
        if (ConsumePrefix(line, pos, ":"))
            return true;
        return ParseTypeNumber(line, pos, out.Type);
    } else {
        return false;
    }
    if (!ParseString(line, pos, '"', text, scratch.Units))
        return false;
    out.Text = text.substr(0, text.find('\0'));
    return true;
}

}  // namespace

TRegistryLookup FindRegistryValue(std::string_view fileText, std::string_view keyPath, std::string_view valueName,
                                  TRegistryValue& out)
{
    if (fileText.substr(0, Header.size()) != Header)
        return TRegistryLookup::NoKey;
    const std::string wantedKey = FoldCase(keyPath);
    const std::string wantedValue = FoldCase(valueName);
    bool keyFound = false;
    bool inKey = false;
    TScratch scratch;
    size_t start = 0;
    while (start < fileText.size()) {
        const char* nl = static_cast<const char*>(
            std::memchr(fileText.data() + start, '\n', fileText.size() - start));
        const size_t end = nl ? static_cast<size_t>(nl - fileText.data()) : fileText.size();
        std::string_view line = fileText.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        size_t pos = 0;
        SkipBlanks(line, pos);
        if (pos >= line.size())
            continue;
        const char first = line[pos];
        if (first == '[') {
            ++pos;
            inKey = ParseString(line, pos, ']', scratch.Text, scratch.Units) &&
                    (FoldCaseInto(scratch.Text, scratch.Folded), scratch.Folded == wantedKey);
            keyFound = keyFound || inKey;
            continue;
        }
        if (!inKey || (first != '@' && first != '"'))
            continue;
        scratch.Text.clear();
        ++pos;
        if (first == '"' && !ParseString(line, pos, '"', scratch.Text, scratch.Units))
            continue;
        SkipBlanks(line, pos);
        if (!ConsumePrefix(line, pos, "="))
            continue;
        SkipBlanks(line, pos);
        FoldCaseInto(scratch.Text, scratch.Folded);
        if (scratch.Folded != wantedValue)
            continue;
        TRegistryValue value;
        if (ParseData(line, pos, value, scratch)) {
            out = value;
            return TRegistryLookup::Found;
        }
    }
    return keyFound ? TRegistryLookup::NoValue : TRegistryLookup::NoKey;
}

TRegistryLookup ReadRegistryValue(const std::string& path, std::string_view keyPath, std::string_view valueName,
                                  TRegistryValue& out)
{
    const std::string text = TReadOnlyFile::ReadWhole(path, MaxRegistryFileSize);
    return FindRegistryValue(text, keyPath, valueName, out);
}
