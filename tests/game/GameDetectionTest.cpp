#include "GameFixtures.h"
#include "game/GameDetection.h"
#include "game/WinePrefixes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

namespace fs = std::filesystem;

namespace {

const std::string Key = "Software\\Classes\\.wotreplay\\DefaultIcon";
const std::string PathsXml =
    "<root>\n\t<Paths>\n\t\t<Path>./res_mods/1.24.0.1</Path>\n\t\t<Path>./res</Path>\n\t</Paths>\n</root>\n";

class GameDetectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Tools = std::make_unique<TTempFolder>();
        VersionedExe = ReadFileBytes(MakePeFile(Tools->Path(), "wot.exe", VersionRc(1, 24, 0, 1)));
        PlainExe = ReadFileBytes(MakePeFile(Tools->Path(), "plain.exe", ""));
    }
    static void TearDownTestSuite() { Tools.reset(); }

    void SetUp() override
    {
        const char* home = std::getenv("HOME");
        SavedHome = home ? home : "";
        const char* prefix = std::getenv("WINEPREFIX");
        SavedPrefix = prefix ? prefix : "";
        ::setenv("HOME", Home.Path().c_str(), 1);
        ::unsetenv("WINEPREFIX");
    }
    void TearDown() override
    {
        ::setenv("HOME", SavedHome.c_str(), 1);
        if (!SavedPrefix.empty())
            ::setenv("WINEPREFIX", SavedPrefix.c_str(), 1);
    }

    std::string Prefix(const std::string& relative)
    {
        const std::string prefix = Home.Path() + "/" + relative;
        MakeWinePrefix(prefix);
        return prefix;
    }
    // The game in drive_c at folder, with paths.xml and the version folder it names.
    std::string InstallGame(const std::string& prefix, const std::string& folder, const std::string& exe)
    {
        const std::string dir = prefix + "/drive_c/" + folder + "/";
        WriteFileBytes(dir + "WorldOfTanks.exe", exe);
        WriteFileBytes(dir + "paths.xml", PathsXml);
        fs::create_directories(dir + "res_mods/1.24.0.1");
        return dir;
    }
    static void Associate(const std::string& prefix, const std::string& value, bool user = false, int type = 1)
    {
        WriteFileBytes(prefix + (user ? "/user.reg" : "/system.reg"),
                       TWineRegFile(user).Key("Software\\Classes\\.txt").String("", "txtfile")
                           .Key(Key).String("", value, type).Text());
    }
    static RWOTInfo Detect()
    {
        RWOTInfo info;
        info.ExePath = "stale";
        info.Failed = true;
        DetectGame(info);
        return info;
    }
    static void ExpectEmpty(const RWOTInfo& info, bool failed)
    {
        EXPECT_EQ(info.ExePath, "");
        EXPECT_EQ(info.GameDir, "");
        EXPECT_EQ(info.Version, "");
        EXPECT_EQ(info.TargetDir, "");
        EXPECT_EQ(info.VersionDir, "");
        EXPECT_EQ(info.Failed, failed);
    }

    TTempFolder Home;
    std::string SavedHome, SavedPrefix;
    static std::unique_ptr<TTempFolder> Tools;
    static std::string VersionedExe, PlainExe;
};
std::unique_ptr<TTempFolder> GameDetectionTest::Tools;
std::string GameDetectionTest::VersionedExe, GameDetectionTest::PlainExe;

TEST_F(GameDetectionTest, FindsGameThroughAssociation)
{
    const std::string prefix = Prefix(".wine");
    const std::string dir = InstallGame(prefix, "Games/World_of_Tanks", VersionedExe);
    Associate(prefix, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0");
    const std::string canonical = fs::canonical(dir).string() + "/";

    const RWOTInfo info = Detect();
    EXPECT_EQ(info.ExePath, canonical + "WorldOfTanks.exe");
    EXPECT_EQ(info.GameDir, canonical);
    EXPECT_EQ(info.Version, "1.24.0");
    EXPECT_EQ(info.VersionDir, canonical + "res_mods/1.24.0.1");
    EXPECT_EQ(info.TargetDir, canonical + "res_mods/1.24.0.1/");
    EXPECT_FALSE(info.Failed);
}

TEST_F(GameDetectionTest, ValueCutAsItStands)
{
    const std::string prefix = Prefix(".wine");
    InstallGame(prefix, "Games/World_of_Tanks", VersionedExe);
    // Two-digit icon index: the cut leaves the closing quote on the path.
    Associate(prefix, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",10");
    ExpectEmpty(Detect(), false);
    Associate(prefix, "C:\\Games\\World_of_Tanks\\WorldOfTanks.exe");  // no quotes
    ExpectEmpty(Detect(), false);
    Associate(prefix, "\",0");
    ExpectEmpty(Detect(), false);
    Associate(prefix, "");
    ExpectEmpty(Detect(), false);
    // An expandable string is a string too.
    Associate(prefix, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0", false, 2);
    EXPECT_EQ(Detect().Version, "1.24.0");
}

TEST_F(GameDetectionTest, NonStringValueSetsFailed)
{
    const std::string prefix = Prefix(".wine");
    InstallGame(prefix, "Games/World_of_Tanks", VersionedExe);
    WriteFileBytes(prefix + "/system.reg", TWineRegFile(false).Key(Key).Raw("@=dword:00000000").Text());
    ExpectEmpty(Detect(), true);
    // A working prefix later on still wins.
    const std::string proton = Prefix(".local/share/Steam/steamapps/compatdata/1407200/pfx");
    InstallGame(proton, "Games/World_of_Tanks", VersionedExe);
    Associate(proton, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0");
    const RWOTInfo info = Detect();
    EXPECT_EQ(info.Version, "1.24.0");
    EXPECT_FALSE(info.Failed);
}

TEST_F(GameDetectionTest, UserAssociationHidesMachines)
{
    const std::string prefix = Prefix(".wine");
    InstallGame(prefix, "Games/World_of_Tanks", VersionedExe);
    const std::string user = InstallGame(prefix, "Users/Player/WoT", PlainExe);
    Associate(prefix, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0");
    Associate(prefix, "\"C:\\Users\\Player\\WoT\\WorldOfTanks.exe\",0", true);
    const RWOTInfo info = Detect();
    EXPECT_EQ(info.GameDir, fs::canonical(user).string() + "/");
    EXPECT_EQ(info.Version, "0.0.0");  // an executable without a version record
    EXPECT_FALSE(info.TargetDir.empty());
}

TEST_F(GameDetectionTest, PathMatchedWithoutCase)
{
    const std::string prefix = Prefix(".wine");
    const std::string dir = InstallGame(prefix, "Games/Мир Танков", VersionedExe);
    Associate(prefix, "\"c:\\GAMES\\мир танков\\.\\x\\..\\worldoftanks.EXE\",0");
    const RWOTInfo info = Detect();
    EXPECT_EQ(info.ExePath, fs::canonical(dir).string() + "/WorldOfTanks.exe");
    // Without dosdevices, C: is drive_c.
    fs::remove(prefix + "/dosdevices/c:");
    EXPECT_EQ(Detect().ExePath, info.ExePath);
}

TEST_F(GameDetectionTest, PrefixesSearchedInOrder)
{
    // $WINEPREFIX names a missing file; ~/.wine has none; the Steam library named in
    // libraryfolders.vdf holds the game; a Lutris prefix would too.
    const std::string env = Prefix("custom");
    Associate(env, "\"C:\\Missing\\WorldOfTanks.exe\",0");
    ::setenv("WINEPREFIX", env.c_str(), 1);
    Prefix(".wine");
    fs::create_directories(Home.Path() + "/.local/share/Steam/steamapps");
    WriteFileBytes(Home.Path() + "/.local/share/Steam/steamapps/libraryfolders.vdf",
                   "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + Home.Path() +
                       "/.local/share/Steam\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + Home.Path() +
                       "/Library\"\n\t\t\"label\"\t\t\"\"\n\t}\n}\n");
    const std::string steam = Prefix("Library/steamapps/compatdata/1407200/pfx");
    const std::string steamGame = InstallGame(steam, "Games/World_of_Tanks", VersionedExe);
    Associate(steam, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0");
    const std::string lutris = Prefix("Games/world-of-tanks");
    InstallGame(lutris, "Games/World_of_Tanks", PlainExe);
    Associate(lutris, "\"C:\\Games\\World_of_Tanks\\WorldOfTanks.exe\",0");
    WriteFileBytes(Home.Path() + "/.config/lutris/games/wot.yml", "game:\n  prefix: '" + lutris + "'\n");

    const std::vector<std::string> prefixes = FindWinePrefixes();
    ASSERT_EQ(prefixes.size(), 4u);
    EXPECT_EQ(prefixes[0], fs::canonical(env).string());
    EXPECT_EQ(prefixes[2], fs::canonical(steam).string());
    EXPECT_EQ(prefixes[3], fs::canonical(lutris).string());
    EXPECT_EQ(Detect().GameDir, fs::canonical(steamGame).string() + "/");

    fs::remove_all(steam);
    EXPECT_EQ(Detect().Version, "0.0.0");  // now the Lutris one
}

TEST_F(GameDetectionTest, VersionFolderFromPathsXml)
{
    const std::string prefix = Prefix(".wine");
    const std::string dir = fs::canonical(InstallGame(prefix, "WoT", VersionedExe)).string() + "/";
    Associate(prefix, "\"C:\\WoT\\WorldOfTanks.exe\",0");

    // No "res_mods" in paths.xml: the candidate is res_mods itself.
    WriteFileBytes(dir + "paths.xml", "<root><Paths><Path>./res</Path></Paths></root>");
    RWOTInfo info = Detect();
    EXPECT_EQ(info.VersionDir, dir + "res_mods/");
    EXPECT_EQ(info.TargetDir, dir + "res_mods//");

    WriteFileBytes(dir + "paths.xml", "<Path>./res_mods/9.9.9</Path>");  // not on disk
    info = Detect();
    EXPECT_EQ(info.ExePath, dir + "WorldOfTanks.exe");
    EXPECT_EQ(info.VersionDir, "");
    EXPECT_EQ(info.TargetDir, "");

    // A name that would leave res_mods is not a version folder.
    WriteFileBytes(dir + "paths.xml", "<Path>./res_mods/..</Path>");
    EXPECT_EQ(Detect().TargetDir, "");
    WriteFileBytes(dir + "paths.xml", "<Path>./res_mods/../../..</Path>");
    EXPECT_EQ(Detect().TargetDir, "");

    WriteFileBytes(dir + "paths.xml", "");
    EXPECT_EQ(Detect().TargetDir, "");
    fs::remove(dir + "paths.xml");
    info = Detect();
    EXPECT_EQ(info.VersionDir, "");
    EXPECT_FALSE(info.Failed);
    EXPECT_EQ(GetVersionFolder(dir + "missing/"), "");
}

TEST_F(GameDetectionTest, HostileFilesEndQuickly)
{
    const std::string prefix = Prefix(".wine");
    const std::string dir = fs::canonical(InstallGame(prefix, "WoT", VersionedExe)).string() + "/";
    const auto started = std::chrono::steady_clock::now();

    // 50 MB of keys before the association is still a registry file.
    TWineRegFile big(false);
    std::string filler;
    for (int i = 0; filler.size() < 50u << 20; ++i)
        filler += "\n[Software\\\\Classes\\\\.ext" + std::to_string(i) + "] 1700000000\n@=\"file" +
                  std::to_string(i) + "\"\n\"Content Type\"=\"text/plain\"\n";
    big.Raw(filler).Key(Key).String("", "\"C:\\WoT\\WorldOfTanks.exe\",0");
    WriteFileBytes(prefix + "/system.reg", big.Text());
    EXPECT_EQ(Detect().ExePath, dir + "WorldOfTanks.exe");

    std::mt19937 random(11);
    std::string noise(50u << 20, '\0');
    for (size_t i = 0; i + 4 <= noise.size(); i += 4) {
        const uint32_t r = static_cast<uint32_t>(random());
        std::memcpy(noise.data() + i, &r, 4);
    }
    WriteFileBytes(prefix + "/system.reg", "WINE REGISTRY Version 2\n" + noise);
    ExpectEmpty(Detect(), false);

    // paths.xml: binary, then far too large.
    Associate(prefix, "\"C:\\WoT\\WorldOfTanks.exe\",0");
    WriteFileBytes(dir + "paths.xml", noise.substr(0, 1 << 20) + "res_mods/" + noise.substr(1 << 20, 1 << 20));
    EXPECT_EQ(Detect().TargetDir, "");
    EXPECT_FALSE(Detect().Failed);
    WriteFileBytes(dir + "paths.xml", "<Path>./res_mods/1.24.0.1</Path>");
    fs::resize_file(dir + "paths.xml", 100u << 20);
    const RWOTInfo info = Detect();
    EXPECT_EQ(info.ExePath, dir + "WorldOfTanks.exe");
    EXPECT_EQ(info.TargetDir, "");
    EXPECT_TRUE(info.Failed);

    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

TEST(TrimVersion, CutsBeforeThirdPoint)
{
    EXPECT_EQ(TrimVersion("1.2.3.4"), "1.2.3");
    EXPECT_EQ(TrimVersion("1.2"), "1.2");
    EXPECT_EQ(TrimVersion(""), "");
    EXPECT_EQ(TrimVersion("0.0.0.0"), "0.0.0");
    EXPECT_EQ(TrimVersion("..."), "..");
    EXPECT_EQ(TrimVersion("1.2.3."), "1.2.3");
}

TEST(CutAssociationValue, CountsCharactersNotBytes)
{
    EXPECT_EQ(CutAssociationValue("\"C:\\x.exe\",0"), "C:\\x.exe");
    EXPECT_EQ(CutAssociationValue("\"C:\\Игры\\й\",0"), "C:\\Игры\\й");
    EXPECT_EQ(CutAssociationValue("\"C:\\Игры\\й\",ё"), "C:\\Игры\\й");
    EXPECT_EQ(CutAssociationValue("abc"), "");
}

}  // namespace
