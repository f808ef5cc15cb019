// The OS layer's path and file rules that the wizard and the self-update lean on.
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TPageMemory.h"
#include "platform/TTextCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct TempDir {
    TempDir()
    {
        char t[] = "/tmp/setup-plat-XXXXXX";
        Path = ::mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + Path + "'").c_str()); }
    std::string Path;
};

std::string Read(const std::string& p)
{
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}

TEST(Paths, ExtensionsAndFolders)
{
    EXPECT_EQ(ChangeFileExt("Setup", ".newupdate"), "Setup.newupdate");
    EXPECT_EQ(ChangeFileExt("Setup.exe", ".oldupdate"), "Setup.oldupdate");
    EXPECT_EQ(ChangeFileExt("dir.v2/Setup", ".x"), "dir.v2/Setup.x");
    EXPECT_EQ(ExtractFileExt("a/b.tar.7Z"), ".7Z");
    EXPECT_EQ(ExtractFileExt("a.d/noext"), "");
    EXPECT_EQ(ExtractFilePath("/p/q/r.zip"), "/p/q/");
    EXPECT_EQ(ExtractFilePath("bare"), "");
    EXPECT_EQ(ExtractFileName("/p/q/r.zip"), "r.zip");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x"), "/x/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/x/"), "/x/");
}

TEST(FileSystem, ForceDirectoriesMakesChainsAndRefusesTheImpossible)
{
    TempDir t;
    EXPECT_TRUE(ForceDirectories(t.Path + "/a/b/c/"));
    EXPECT_TRUE(DirectoryExists(t.Path + "/a/b/c"));
    EXPECT_TRUE(ForceDirectories(t.Path + "/a/b/c"));  // existing counts as made
    std::ofstream(t.Path + "/file") << "x";
    EXPECT_FALSE(ForceDirectories(t.Path + "/file/sub"));
    EXPECT_FALSE(ForceDirectories("/proc/no/such"));
    EXPECT_FALSE(ForceDirectories(""));
    EXPECT_TRUE(FileExists(t.Path + "/file"));
    EXPECT_FALSE(FileExists(t.Path + "/a"));
}

TEST(FileSystem, MoveNeverReplaces)
{
    TempDir t;
    std::ofstream(t.Path + "/old") << "old";
    std::ofstream(t.Path + "/new") << "new";
    EXPECT_FALSE(MoveFileNoReplace(t.Path + "/new", t.Path + "/old"));
    EXPECT_EQ(Read(t.Path + "/old"), "old");
    EXPECT_EQ(Read(t.Path + "/new"), "new");
    EXPECT_TRUE(MoveFileNoReplace(t.Path + "/new", t.Path + "/moved"));
    EXPECT_FALSE(FileExists(t.Path + "/new"));
    EXPECT_EQ(Read(t.Path + "/moved"), "new");
    EXPECT_FALSE(MoveFileNoReplace(t.Path + "/missing", t.Path + "/x"));
}

TEST(SystemInfo, TempPathGuidAndLanguage)
{
    ::setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(GetTempDir(), "/var/tmp/");
    const std::string g = NewGuidString();
    ASSERT_EQ(g.size(), 38u);
    EXPECT_EQ(g.front(), '{');
    EXPECT_EQ(g.back(), '}');
    for (size_t i = 1; i < 37; ++i) {
        const char c = g[i];
        if (i == 9 || i == 14 || i == 19 || i == 24)
            EXPECT_EQ(c, '-');
        else
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << g;
    }
    EXPECT_NE(NewGuidString(), g);
    ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0419);
    ::setenv("LC_ALL", "ru_MD.UTF-8", 1);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0819);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "C.UTF-8", 1);
    EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
}

TEST(TextCodec, Utf8IsDecodedStrictly)
{
    auto next = [](const std::string& s, size_t& used) {
        used = 0;
        return TTextCodec::NextCodePoint(s, used);
    };
    size_t used = 0;
    EXPECT_EQ(next("\xD0\x96x", used), U'\u0416');
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(next("\xF0\x9F\x98\x80", used), U'\U0001F600');
    EXPECT_EQ(used, 4u);
    // Overlong forms, surrogates, values past U+10FFFF, cut and stray bytes: one byte, itself.
    for (const char* bad : {"\xE0\x90\x96", "\xC0\xAF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "\xFF"}) {
        EXPECT_EQ(next(bad, used), static_cast<unsigned char>(bad[0])) << bad;
        EXPECT_EQ(used, 1u) << bad;
        EXPECT_FALSE(TTextCodec::IsValidUtf8(std::string("ok") + bad)) << bad;
    }
    EXPECT_TRUE(TTextCodec::IsValidUtf8(""));
    EXPECT_TRUE(TTextCodec::IsValidUtf8("plain \xD0\x96 \xEF\xBF\xBF \xF4\x8F\xBF\xBF"));

    // Every length boundary comes back as it went in; what UTF-8 cannot carry becomes U+FFFD.
    for (char32_t cp : {U'\x7F', U'\x80', U'\u07FF', U'\u0800', U'\uFFFF', U'\U00010000', U'\U0010FFFF'}) {
        std::string s;
        TTextCodec::AppendUtf8(s, cp);
        EXPECT_EQ(next(s, used), cp);
        EXPECT_EQ(used, s.size());
    }
    for (char32_t cp : {char32_t(0xD800), char32_t(0xDFFF), char32_t(0x110000)}) {
        std::string s;
        TTextCodec::AppendUtf8(s, cp);
        EXPECT_EQ(s, "\xEF\xBF\xBD");
    }

    EXPECT_EQ(TTextCodec::HexDigit('0'), 0);
    EXPECT_EQ(TTextCodec::HexDigit('9'), 9);
    EXPECT_EQ(TTextCodec::HexDigit('a'), 10);
    EXPECT_EQ(TTextCodec::HexDigit('F'), 15);
    for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\xFF'})
        EXPECT_EQ(TTextCodec::HexDigit(c), -1) << c;
}

// A freed dictionary must leave the process. By default glibc raises its mapping bound to
// the largest block freed, so the second round's block would come from an arena and its
// pages would stay resident after the free.
TEST(PageMemory, LargeBlocksAreGivenBackWhenFreed)
{
#ifdef SETUP_SANITIZED
    GTEST_SKIP() << "the sanitizer's allocator stands in for glibc's";
#endif
    static char* volatile sink = nullptr;  // keeps the compiler from dropping the blocks
    ASSERT_TRUE(TPageMemory::GiveBackBlocksFrom(std::size_t(1) << 20));
    constexpr std::size_t large = std::size_t(6) << 20;
    for (int round = 0; round < 2; ++round) {
        const std::size_t before = mallinfo2().hblkhd;
        sink = static_cast<char*>(std::malloc(large));
        ASSERT_NE(sink, nullptr);
        std::memset(sink, 1, large);
        EXPECT_GE(mallinfo2().hblkhd, before + large) << "round " << round;
        std::free(sink);
        EXPECT_EQ(mallinfo2().hblkhd, before) << "round " << round;
    }
    // Below the bound blocks stay in the arena, where the next one reuses them.
    const std::size_t before = mallinfo2().hblkhd;
    sink = static_cast<char*>(std::malloc(std::size_t(256) << 10));
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(mallinfo2().hblkhd, before);
    std::free(sink);
    // Beyond what the allocator can take: refused, not cut short.
    EXPECT_FALSE(TPageMemory::GiveBackBlocksFrom(std::size_t(1) << 40));
}
