// The window-less pieces of the update download and swap, on real files and processes:
// the download's limits, the package file and the swap of the executables.
#include "platform/FileSystem.h"
#include "platform/TFileStream.h"
#include "platform/TFolderListing.h"
#include "update/EUpdateError.h"
#include "update/TDownloadWatch.h"
#include "update/TExecutableSwap.h"
#include "update/TPackageStream.h"
#include "update/TUpdateSignature.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Drives a watch with one call every stepMs; the time of the first refusal, or -1.
std::int64_t RefusedAt(const TDownloadLimits& limits, std::uint64_t bytesPerStep, std::int64_t stepMs,
                       std::int64_t untilMs, std::int64_t stallFromMs = -1)
{
    TDownloadWatch watch(limits);
    for (std::int64_t t = 1000; t <= 1000 + untilMs; t += stepMs) {
        const bool stalled = stallFromMs >= 0 && t - 1000 >= stallFromMs;
        try {
            watch.Received(stalled ? 0 : bytesPerStep, t);
        } catch (const EUpdateError&) {
            return t - 1000;
        }
    }
    return -1;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& content, unsigned mode = 0755)
{
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, static_cast<fs::perms>(mode));
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = fs::temp_directory_path().string() + "/setup-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern + "/";
        FOldCwd = fs::current_path().string();
        fs::current_path(Dir);
    }
    void TearDown() override
    {
        fs::current_path(FOldCwd);
        fs::remove_all(Dir);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const TFolderEntry& e : ListFolder(Dir))
            names.push_back(e.Name);
        return names;
    }
    std::string Dir;

private:
    std::string FOldCwd;
};
}

TEST(DownloadWatch, RateOverTheWindowAndTheOverallDeadline)
{
    const TDownloadLimits limits{30000, 8192, 600000};
    // A window's worth of time is needed before the rate is judged; the moment it is
    // judged may lag by the sample spacing, a sixty-fourth of the window.
    auto nearWindow = [](std::int64_t at) { return at >= 30000 && at <= 30000 + 30000 / 64 + 100; };
    // Just above 8 KiB/s, in 100 ms steps, for nearly ten minutes: never refused.
    EXPECT_EQ(RefusedAt(limits, 820, 100, 590000), -1);
    // One byte a second, or just under the minimum: refused once a full window has passed.
    EXPECT_PRED1(nearWindow, RefusedAt(limits, 1, 1000, 120000));
    EXPECT_PRED1(nearWindow, RefusedAt(limits, 810, 100, 120000));
    // Fast at first, then nothing: the window that ends in the stall is what counts, so it
    // fails once the last 30 s hold less than 240 KiB, not 30 s after the start.
    const std::int64_t stalled = RefusedAt(limits, 100000, 100, 200000, 60000);
    EXPECT_GT(stalled, 60000);
    EXPECT_LE(stalled, 90000);
    // Fast enough throughout, but longer than ten minutes in all.
    EXPECT_EQ(RefusedAt(limits, 100000, 1000, 700000), 601000);
    // Shortened limits, as the tests of the window use them.
    const std::int64_t shortened = RefusedAt({1000, 100, 5000}, 1, 50, 10000);
    EXPECT_GE(shortened, 1000);
    EXPECT_LE(shortened, 1050);
}

TEST_F(FolderTest, PackageStreamLeavesNoFileAndSumsWhatStays)
{
    std::string body(3 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 2654435761u) >> 13);
    {
        TPackageStream package(Dir);
        // A redirect's body first, then the final one over it from the start.
        package.Write("a redirect's page", 17);
        package.SetPosition(0);
        package.Truncate();
        package.Write(body.data(), 1000);
        package.Write(body.data() + 1000, body.size() - 1000);
        EXPECT_EQ(package.Size(), body.size());
        EXPECT_EQ(package.Sha256Hex(), TUpdateSignature::Sha256Hex(body.data(), body.size()));
        EXPECT_EQ(ReadAll(package.Path()), body);
        EXPECT_TRUE(Names().empty()) << "the package has a name in its folder";
        // Cut back to a prefix: the sum follows.
        package.SetPosition(12345);
        package.Truncate();
        EXPECT_EQ(package.Sha256Hex(), TUpdateSignature::Sha256Hex(body.data(), 12345));
        // A write anywhere but the end would make the sum a lie.
        package.SetPosition(10);
        EXPECT_THROW(package.Write("x", 1), EUpdateError);
    }
    EXPECT_TRUE(Names().empty());

    // A process killed while it writes leaves nothing behind either.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        TPackageStream package(Dir);
        package.Write(body.data(), body.size());
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(Names().empty());
}

namespace {
class SwapTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        WriteAll(Dir + "Setup", Old);
    }
    // A new build that runs: it leaves a marker in the current folder.
    void GoodNewBuild() { WriteAll(Dir + "Setup.newupdate", "#!/bin/sh\necho ran >started\n", 0644); }
    bool WaitForFile(const std::string& path)
    {
        for (int i = 0; i < 500 && !fs::exists(path); ++i)
            usleep(10000);
        return fs::exists(path);
    }
    const std::string Old = "#!/bin/sh\n# the old build\n";
};
}

TEST_F(SwapTest, EachStepLeavesAStartableProgramAndACutShortSwapFinishes)
{
    GoodNewBuild();
    TExecutableSwap swap("Setup");
    EXPECT_EQ(swap.NewName(), "Setup.newupdate");
    EXPECT_EQ(swap.OldName(), "Setup.oldupdate");
    const ino_t oldInode = Inode(Dir + "Setup");

    // The state a kill after the first step leaves: the old build under both names.
    ASSERT_TRUE(HardLink("Setup", "Setup.oldupdate"));
    EXPECT_TRUE(swap.OldIsLink());
    EXPECT_TRUE(swap.Pending());
    ASSERT_EQ(swap.ApplyAndStart(), TExecutableSwap::TResult::Started);
    EXPECT_TRUE(WaitForFile(Dir + "started"));
    EXPECT_EQ(Inode(Dir + "Setup.oldupdate"), oldInode);
    EXPECT_EQ(ReadAll(Dir + "Setup.oldupdate"), Old);
    EXPECT_NE(Inode(Dir + "Setup"), oldInode);
    EXPECT_EQ(access((Dir + "Setup").c_str(), X_OK), 0) << "execute bits not carried over";
    EXPECT_FALSE(swap.Pending());
    EXPECT_FALSE(swap.OldIsLink());

    // An earlier build that is not ours blocks the swap; nothing moves.
    GoodNewBuild();
    EXPECT_FALSE(swap.Apply());
    EXPECT_TRUE(swap.Pending());
    EXPECT_EQ(ReadAll(Dir + "Setup.oldupdate"), Old);

    // Once it is gone, a plain swap.
    fs::remove(Dir + "Setup.oldupdate");
    const ino_t current = Inode(Dir + "Setup");
    EXPECT_TRUE(swap.Apply());
    EXPECT_EQ(Inode(Dir + "Setup.oldupdate"), current);
    EXPECT_FALSE(swap.Pending());
}

TEST_F(SwapTest, NewBuildThatDoesNotStartIsRolledBack)
{
    WriteAll(Dir + "Setup.newupdate", "this is a text file, not a program\n", 0644);
    TExecutableSwap swap("Setup");
    EXPECT_EQ(swap.ApplyAndStart(), TExecutableSwap::TResult::RolledBack);
    EXPECT_EQ(ReadAll(Dir + "Setup"), Old);
    EXPECT_EQ(Names(), std::vector<std::string>{"Setup"}) << "the bad build or a second name stays";

    // Nothing pending, no program: nothing is done.
    EXPECT_EQ(swap.ApplyAndStart(), TExecutableSwap::TResult::NotSwapped);
    fs::remove(Dir + "Setup");
    GoodNewBuild();
    EXPECT_EQ(swap.ApplyAndStart(), TExecutableSwap::TResult::NotSwapped);
    EXPECT_TRUE(swap.Pending());
}

TEST_F(SwapTest, BuildStartedUnderAnUpdateNamePutsTheProgramBack)
{
    EXPECT_TRUE(TExecutableSwap::IsUpdateName("Setup.oldupdate"));
    EXPECT_TRUE(TExecutableSwap::IsUpdateName("Setup.newupdate"));
    EXPECT_FALSE(TExecutableSwap::IsUpdateName("Setup"));
    EXPECT_EQ(TExecutableSwap::ProgramName("Setup.oldupdate"), "Setup");
    EXPECT_EQ(TExecutableSwap::ProgramName("Setup"), "Setup");

    // Only the old build is left (a kill between the renames of earlier versions).
    fs::rename(Dir + "Setup", Dir + "Setup.oldupdate");
    GoodNewBuild();
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.oldupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), Old);
    EXPECT_FALSE(fs::exists(Dir + "Setup.oldupdate"));
    EXPECT_TRUE(fs::exists(Dir + "Setup.newupdate")) << "the pending build is for the next start";

    // The old build started by hand beside a new one that fails: the old one comes back.
    fs::rename(Dir + "Setup", Dir + "Setup.oldupdate");
    WriteAll(Dir + "Setup", "broken");
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.oldupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), Old);

    // The old build under both names: the second name goes, the file stays.
    ASSERT_TRUE(HardLink("Setup", "Setup.oldupdate"));
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.oldupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), Old);
    EXPECT_FALSE(fs::exists(Dir + "Setup.oldupdate"));

    // The new build started by hand: it becomes the program when none is there, and
    // otherwise stays pending; it never deletes itself.
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.newupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), Old);
    EXPECT_TRUE(fs::exists(Dir + "Setup.newupdate"));
    fs::remove(Dir + "Setup");
    const std::string fresh = ReadAll(Dir + "Setup.newupdate");
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.newupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), fresh);
    EXPECT_FALSE(fs::exists(Dir + "Setup.newupdate"));
}
