// Finding a running client of the game among the system's real processes.
#include "game/TGameProcessFinder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
namespace fs = std::filesystem;

struct TChild {
    TChild(const std::string& program, const std::string& argv0)
    {
        char* argv[] = {const_cast<char*>(argv0.c_str()), const_cast<char*>("300"), nullptr};
        if (::posix_spawn(&Pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            Pid = -1;
            return;
        }
        // The spawn returns while exec is still laying out the new program's arguments:
        // wait until its command line reads whole.
        const std::string cmdline = "/proc/" + std::to_string(Pid) + "/cmdline";
        for (int i = 0; i < 400; ++i) {
            std::ifstream in(cmdline);
            std::string first;
            if (std::getline(in, first, '\0') && first == argv0)
                break;
            ::usleep(5000);
        }
    }
    ~TChild()
    {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    pid_t Pid = -1;
};

bool Found(const std::vector<TRunningGame>& games, pid_t pid)
{
    for (const TRunningGame& g : games)
        if (g.Pid == pid)
            return true;
    return false;
}

class GameProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/gameproc-XXXXXX";
        Root = ::mkdtemp(tmpl);
        Game = Root + "/World_of_Tanks/";
        fs::create_directories(Game + "res_mods/1.2.0");
    }
    void TearDown() override { fs::remove_all(Root); }
    std::string Root, Game;
};
}

TEST(GameFolder, IsTheFolderHoldingResMods)
{
    EXPECT_EQ(TGameProcessFinder::GameFolderOf("/g/World_of_Tanks/res_mods/1.2.0/"), "/g/World_of_Tanks/");
    EXPECT_EQ(TGameProcessFinder::GameFolderOf("/g/WoT/RES_MODS/1.2.0"), "/g/WoT/");
    EXPECT_EQ(TGameProcessFinder::GameFolderOf("/g/WoT/mods"), "/g/WoT/mods/");
    EXPECT_EQ(TGameProcessFinder::GameFolderOf("rel/res_mods/x"), "rel/");
}

TEST_F(GameProcess, FoundByItsExecutableAndByWineCommandLines)
{
    // The client itself, started from the game folder under its own name.
    fs::copy_file("/bin/sleep", Game + "WorldOfTanks.exe");
    TChild native(Game + "WorldOfTanks.exe", "WorldOfTanks.exe");
    // Wine and Proton show the Windows path, in any case, on any drive.
    TChild wine("/bin/sleep", "C:\\Games\\World_of_Tanks\\WorldOfTanks.exe");
    TChild proton("/bin/sleep", "Z:\\tmp\\world_of_tanks\\WORLDOFTANKS.EXE");
    // Another installation's client, and a program that only shares the name.
    TChild other("/bin/sleep", "C:\\Games\\Tanks_Test\\WorldOfTanks.exe");
    TChild unrelated("/bin/sleep", "WorldOfTanks.exe");
    ASSERT_GT(native.Pid, 0);
    ASSERT_GT(wine.Pid, 0);

    const TGameProcessFinder finder("", Game + "res_mods/1.2.0/");
    const std::vector<TRunningGame> games = finder.Find();
    EXPECT_TRUE(Found(games, native.Pid));
    EXPECT_TRUE(Found(games, wine.Pid));
    EXPECT_TRUE(Found(games, proton.Pid));
    EXPECT_FALSE(Found(games, other.Pid));
    EXPECT_FALSE(Found(games, unrelated.Pid));
}

TEST_F(GameProcess, DetectedExecutableElsewhereCountsToo)
{
    const std::string elsewhere = Root + "/Lutris/World_of_Tanks_EU/";
    fs::create_directories(elsewhere);
    fs::copy_file("/bin/sleep", elsewhere + "WorldOfTanks.exe");
    TChild lutris("/bin/sleep", "C:\\Program Files\\World_of_Tanks_EU\\WorldOfTanks.exe");
    // A target with no game around it and nothing detected finds nothing.
    EXPECT_FALSE(Found(TGameProcessFinder("", Root + "/plain/").Find(), lutris.Pid));
    EXPECT_TRUE(Found(TGameProcessFinder(elsewhere + "WorldOfTanks.exe", Root + "/plain/").Find(), lutris.Pid));
}
