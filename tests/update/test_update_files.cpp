// The window-less pieces of the update download and swap, on real files: the download's
// limits, the package file, and a build started by hand under an update name.
#include "platform/FileSystem.h"
#include "update/EUpdateError.h"
#include "update/TDownloadWatch.h"
#include "update/TExecutableSwap.h"
#include "update/TPackageStream.h"
#include "update/TUpdateSignature.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
// Feeds a watch bytesPerStep every stepMs (nothing from stallFromMs on); when it refused.
std::int64_t RefusedAt(const TDownloadLimits& limits, std::uint64_t bytesPerStep, std::int64_t stepMs,
                       std::int64_t untilMs, std::int64_t stallFromMs = -1)
{
    TDownloadWatch watch(limits);
    for (std::int64_t t = 0; t <= untilMs; t += stepMs) {
        try {
            watch.Received(stallFromMs >= 0 && t >= stallFromMs ? 0 : bytesPerStep, t + 5000);
        } catch (const EUpdateError&) {
            return t;
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

class UpdateFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = fs::temp_directory_path().string() + "/setup-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern + "/";
        FOldCwd = fs::current_path();
        fs::current_path(Dir);
    }
    void TearDown() override
    {
        fs::current_path(FOldCwd);
        fs::remove_all(Dir);
    }
    void Write(const std::string& name, const std::string& content) { std::ofstream(Dir + name) << content; }
    std::string Dir;
    fs::path FOldCwd;
};
}

TEST(DownloadWatch, RateOverTheLastWindowAndTheOverallDeadline)
{
    const TDownloadLimits limits;  // 8 KiB/s over 30 s, 10 minutes in all
    // Judged once a window has passed, at most a sample spacing (window / 64) late.
    auto atWindow = [](std::int64_t at) { return at >= 30000 && at <= 30000 + 30000 / 64 + 100; };
    EXPECT_EQ(RefusedAt(limits, 820, 100, 590000), -1);  // just above the minimum
    EXPECT_PRED1(atWindow, RefusedAt(limits, 810, 100, 120000));  // just under
    EXPECT_PRED1(atWindow, RefusedAt(limits, 1, 1000, 120000));   // a byte a second
    // Fast, then a stall: refused once the last window, not the whole run, is too slow.
    const std::int64_t stalled = RefusedAt(limits, 100000, 100, 200000, 60000);
    EXPECT_GT(stalled, 60000);
    EXPECT_LE(stalled, 90000);
    EXPECT_EQ(RefusedAt(limits, 100000, 1000, 700000), 601000);
}

TEST_F(UpdateFiles, PackageHasNoNameAndItsSumFollowsARedirect)
{
    std::string body(3 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>((i * 2654435761u) >> 13);
    TPackageStream package(Dir);
    package.Write("a redirect's page", 17);  // the client starts over for the final body
    package.SetPosition(0);
    package.Truncate();
    package.Write(body.data(), body.size());
    EXPECT_EQ(package.Sha256Hex(), TUpdateSignature::Sha256Hex(body.data(), body.size()));
    EXPECT_EQ(ReadAll(package.Path()), body);
    EXPECT_TRUE(fs::is_empty(Dir)) << "the package has a name";
    package.SetPosition(12345);
    package.Truncate();
    EXPECT_EQ(package.Sha256Hex(), TUpdateSignature::Sha256Hex(body.data(), 12345));
    package.SetPosition(10);
    EXPECT_THROW(package.Write("x", 1), EUpdateError) << "a write in the middle would falsify the sum";
}

TEST_F(UpdateFiles, BuildStartedUnderAnUpdateNameNeverDeletesItself)
{
    // The old build started by hand beside a new Setup that fails: it takes the place back.
    Write("Setup.oldupdate", "old");
    Write("Setup", "broken");
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.oldupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), "old");
    // As a second name of Setup, only the name goes; a new build stays pending beside Setup.
    ASSERT_TRUE(HardLink("Setup", "Setup.oldupdate"));
    Write("Setup.newupdate", "new");
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.oldupdate"));
    EXPECT_TRUE(TExecutableSwap::Recover("Setup.newupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup"), "old");
    EXPECT_FALSE(fs::exists(Dir + "Setup.oldupdate"));
    EXPECT_EQ(ReadAll(Dir + "Setup.newupdate"), "new");
}
