#include "update/TBuildUpdReader.h"

#include "platform/TTextCodec.h"
#include "update/EUpdateError.h"
#include "update/TUpdateInfoText.h"
#include "update/TUpdateSignature.h"

#include <cstring>

std::vector<std::string> TBuildUpdReader::SplitLines(const std::string& text)
{
    const std::size_t n = std::strlen(text.c_str());  // a zero byte ends the text
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.push_back(text.substr(pos, end - pos));
        if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return lines;
}

bool TBuildUpdReader::ParseInteger(const std::string& line, std::int32_t& value)
{
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && line[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && (line[i] == '$' || line[i] == 'x' || line[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false;
    // Magnitudes are kept in 64 bits and checked per digit, so no digit string overflows.
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int d = hex ? TTextCodec::HexDigit(line[i]) : (line[i] >= '0' && line[i] <= '9' ? line[i] - '0' : -1);
        if (d < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(d);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (hex) {
        // Eight hex digits fill the 32 bits; the sign applies to the resulting pattern.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull)
        return false;
    value = negative ? static_cast<std::int32_t>(0 - static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

TBuildUpd TBuildUpdReader::Parse(const std::string& text, const std::string& publicKeyHex)
{
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.size() < 2)
        throw EUpdateError("Build.upd: fewer than two lines");
    std::int32_t number = 0;
    if (!ParseInteger(lines[0], number))
        throw EUpdateError("Build.upd: the build number is not an integer");
    TBuildUpd result;
    result.Build = static_cast<std::uint16_t>(static_cast<std::uint32_t>(number) & 0xFFFFu);
    result.VersionText = TUpdateInfoText::Decode(lines[1]);
    const bool haveDigest = lines.size() >= 3 && TUpdateSignature::IsHex(lines[2], 64);
    if (haveDigest)
        result.PackageSha256 = TUpdateSignature::NormalizeHex(lines[2]);
    if (lines.size() >= 4)
        result.Signature = lines[3];
    // Servers of the original program may carry anything after line 2.
    if (publicKeyHex.empty())
        return result;
    if (result.PackageSha256.empty())
        throw EUpdateError("Build.upd: no package digest to sign");
    const std::string signedText = lines[0] + '\n' + lines[1] + '\n' + lines[2];
    if (!TUpdateSignature::VerifyEd25519(publicKeyHex, signedText, result.Signature))
        throw EUpdateError("Build.upd: the signature does not verify");
    return result;
}
