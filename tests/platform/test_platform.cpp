// The OS layer's path and file rules that the wizard and the self-update lean on.
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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
