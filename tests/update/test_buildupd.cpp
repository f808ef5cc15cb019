// The server's Build.upd as the check reads it, its signature, and the notice text.
#include "TestKeys.h"
#include "update/EUpdateError.h"
#include "update/TBuildUpdReader.h"
#include "update/TUpdateInfoText.h"
#include "update/TUpdateSignature.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <unistd.h>

namespace {
std::optional<int> BuildOf(const std::string& text, const std::string& key = {})
{
    try {
        return TBuildUpdReader::Parse(text, key).Build;
    } catch (const EUpdateError&) {
        return std::nullopt;
    }
}

struct TRow {
    const char* Name;
    std::string Text;
    std::optional<int> Build;
};
}

TEST(BuildUpd, FirstLineRules)
{
    using std::nullopt;
    const TRow rows[] = {
        {"plain", "57\n1.0.0.57", 57},
        {"leading blank", " 57\n1.0.0.57", 57},
        {"trailing blank", "57 \n1.0.0.57", nullopt},
        {"tab is no blank", "\t57\nv", nullopt},
        {"empty first line", "\n1.0.0.57", nullopt},
        {"dollar hex", "$39\nv", 57},
        {"x hex", "x39\nv", 57},
        {"0X hex", "0X39\nv", 57},
        {"sign then hex", "-$1\nv", 65535},
        {"plus", " +57\nv", 57},
        {"prefix without digits", "$\nv", nullopt},
        {"0x without digits", "0x\nv", nullopt},
        {"sign alone", "-\nv", nullopt},
        {"low 16 bits", "70000\nv", 4464},
        {"minus one", "-1\nv", 65535},
        {"int32 max", "2147483647\nv", 65535},
        {"past int32", "2147483648\nv", nullopt},
        {"int32 min", "-2147483648\nv", 0},
        {"eight hex digits", "$FFFFFFFF\nv", 65535},
        {"nine hex digits", "$100000000\nv", nullopt},
        {"very long number", std::string(40, '9') + "\nv", nullopt},
        {"single line", "120", nullopt},
        {"single line with line end", "120\r\n", nullopt},
        {"lone CR", "120\r1.2.0.120\r", 120},
        {"CR LF", "120\r\n1.2.0.120\r\n", 120},
        {"zero byte ends the text", std::string("120\0\n1.2.0.120", 14), nullopt},
        {"empty", "", nullopt},
    };
    for (const TRow& r : rows)
        EXPECT_EQ(BuildOf(r.Text), r.Build) << r.Name;
}

TEST(BuildUpd, LinesAndVersionText)
{
    EXPECT_EQ(TBuildUpdReader::Parse("120\r1.2.0.120\r", {}).VersionText, "1.2.0.120");
    EXPECT_EQ(TBuildUpdReader::Parse(std::string("57\n1.0\0tail\n", 12), {}).VersionText, "1.0");
    EXPECT_EQ(TBuildUpdReader::Parse("57\n\n", {}).VersionText, "");
    // The label is decoded as the notice is: UTF-8 as it is, else Windows-1251.
    EXPECT_EQ(TBuildUpdReader::Parse("57\n\xE2\x84\x96 1.0\n", {}).VersionText, "\xE2\x84\x96 1.0");
    EXPECT_EQ(TBuildUpdReader::Parse("57\n\xC2\xE5\xF0\xF1\xE8\xFF 1.0\n", {}).VersionText,
              "\xD0\x92\xD0\xB5\xD1\x80\xD1\x81\xD0\xB8\xD1\x8F 1.0");  // "Версия 1.0"
    const auto lines = TBuildUpdReader::SplitLines("a\r\n\rb\n\nc\r");
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b", "", "c"}));
}

TEST(BuildUpd, Signatures)
{
    TestKeys keys;
    TestKeys other;
    const std::string sha(64, 'a');
    const std::string body = "41\n1.1.4.41\n" + sha;
    const std::string key = keys.PublicKeyHex();

    // Valid: accepted, digest kept.
    const TBuildUpd ok = TBuildUpdReader::Parse(body + "\n" + keys.SignHex(body) + "\n", key);
    EXPECT_EQ(ok.Build, 41);
    EXPECT_EQ(ok.PackageSha256, sha);
    // Upper-case hex and CR LF lines are the same notice.
    std::string upper = keys.SignHex(body);
    for (char& c : upper)
        c = static_cast<char>(toupper(c));
    EXPECT_EQ(BuildOf("41\r\n1.1.4.41\r\n" + sha + "\r\n" + upper, key), 41);

    // Missing, made with another key, over altered lines, malformed.
    EXPECT_EQ(BuildOf(body, key), std::nullopt);
    EXPECT_EQ(BuildOf(body + "\n" + other.SignHex(body), key), std::nullopt);
    EXPECT_EQ(BuildOf("42\n1.1.4.41\n" + sha + "\n" + keys.SignHex(body), key), std::nullopt);
    EXPECT_EQ(BuildOf("41\n1.1.4.41\n" + std::string(64, 'b') + "\n" + keys.SignHex(body), key), std::nullopt);
    EXPECT_EQ(BuildOf(body + "\n" + keys.SignHex(body).substr(2), key), std::nullopt);
    EXPECT_EQ(BuildOf(body + "\n" + std::string(128, 'z'), key), std::nullopt);
    // A two-line notice cannot be signed.
    EXPECT_EQ(BuildOf("41\n1.1.4.41\n", key), std::nullopt);

    // Without a key neither the signature line nor a third line that is no digest is
    // looked at: servers of the original program may send anything there.
    EXPECT_EQ(BuildOf(body + "\nnot a signature"), 41);
    EXPECT_EQ(BuildOf("41\n1.1.4.41\nnot a digest"), 41);
    EXPECT_EQ(TBuildUpdReader::Parse("41\n1.1.4.41\nnot a digest", {}).PackageSha256, "");
    // With a key it still must be one.
    EXPECT_EQ(BuildOf("41\n1.1.4.41\nnot a digest\n" + keys.SignHex("41\n1.1.4.41\nnot a digest"), key),
              std::nullopt);
    EXPECT_EQ(TBuildUpdReader::Parse("41\n1.1.4.41", {}).PackageSha256, "");
}

TEST(BuildUpd, Sha256)
{
    EXPECT_EQ(TUpdateSignature::Sha256Hex("abc", 3),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(TUpdateSignature::Sha256Hex("", 0),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(UpdateInfoText, Utf8KeptElseWindows1251)
{
    EXPECT_EQ(TUpdateInfoText::Decode("Новое\r\n"), "Новое\r\n");
    EXPECT_EQ(TUpdateInfoText::Decode("\xEF\xBB\xBFHi"), "Hi");
    EXPECT_EQ(TUpdateInfoText::Decode("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
    // An overlong form and a lone surrogate are not UTF-8.
    EXPECT_EQ(TUpdateInfoText::Decode("\xC0\xAF"), "АЇ");
    EXPECT_FALSE(TUpdateInfoText::IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(TUpdateInfoText::IsValidUtf8("\xE2\x82"));
    EXPECT_TRUE(TUpdateInfoText::IsValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(TUpdateInfoText::Decode(std::string("ab\0cd", 5)), "ab");
}

TEST(UpdateInfoText, Windows1251MatchesIconv)
{
    // Every byte the code page defines, against the system's converter.
    std::string bytes;
    for (int c = 0x80; c <= 0xFF; ++c)
        if (c != 0x98)
            bytes += static_cast<char>(c);
    char path[] = "/tmp/cp1251XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    FILE* p = popen((std::string("iconv -f CP1251 -t UTF-8 ") + path).c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string expected;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        expected.append(buf, n);
    ASSERT_EQ(pclose(p), 0);
    unlink(path);
    EXPECT_EQ(TUpdateInfoText::FromWindows1251(bytes), expected);
}
