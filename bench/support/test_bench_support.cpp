// The figures the benchmarks print and the folders they leave: medians of unsorted runs,
// child runs that fail, and scratch folders that must go whatever they hold.
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

TEST(BenchSupport, MedianAndRangeOfUnsortedRuns)
{
    TSeries odd;
    for (double s : {0.9, 0.1, 0.5, 0.3, 0.7})
        odd.Add(s);
    EXPECT_DOUBLE_EQ(odd.Median(), 0.5);
    EXPECT_DOUBLE_EQ(odd.Min(), 0.1);
    EXPECT_DOUBLE_EQ(odd.Max(), 0.9);
    EXPECT_EQ(odd.Text(1e3, 0), "500 (100-900)");

    TSeries even;
    for (double s : {4.0, 1.0, 3.0, 2.0})
        even.Add(TSample{s, s / 2, long(s * 1000)});
    EXPECT_DOUBLE_EQ(even.Median(), 2.5);
    EXPECT_DOUBLE_EQ(even.Median(&TSample::Cpu), 1.25);
    EXPECT_EQ(even.PeakKb(), 4000);

    // Twice as fast at the median; the range pairs the extremes of both sides.
    TSeries half;
    for (double s : {0.5, 2.0, 1.25, 1.25})
        half.Add(s);
    EXPECT_EQ(half.SpeedAgainst(even), "2.00x (0.50-8.00)");
    EXPECT_EQ(TSeries().SpeedAgainst(even), "0.00x (0.00-0.00)");  // nothing measured, no division by zero
}

TEST(BenchSupport, EverySideLeadsOnceInAsManyRounds)
{
    for (int sides : {2, 3, 4}) {
        std::vector<int> leads(sides, 0);
        for (int round = 0; round < sides; ++round) {
            const std::vector<int> order = RoundOrder(round, sides);
            ASSERT_EQ(std::set<int>(order.begin(), order.end()).size(), size_t(sides));
            ++leads[order.front()];
        }
        EXPECT_EQ(leads, std::vector<int>(sides, 1));
    }
}

TEST(BenchSupport, ChildRunsReportOutputAndFailures)
{
    std::string out;
    const TSample busy = RunChild({"sh", "-c", "i=0; while [ $i -lt 100000 ]; do i=$((i+1)); done; echo $i"}, &out);
    EXPECT_EQ(out, "100000\n");
    EXPECT_GT(busy.Cpu, 0.0);
    EXPECT_GE(busy.Wall, busy.Cpu * 0.5);
    EXPECT_GT(busy.PeakKb, 0);
    EXPECT_THROW(RunChild({"sh", "-c", "exit 3"}), std::runtime_error);
    EXPECT_THROW(RunChild({"/nonexistent/program"}), std::runtime_error);
    EXPECT_THROW(RunChild({"sh", "-c", "kill -9 $$"}), std::runtime_error);
}

TEST(BenchSupport, ScratchFolderLivesUnderTmpdirAndGoesWhole)
{
    TScratchFolder outer("bench-support-test");
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", outer.Path().c_str(), 1);
    std::string inner;
    {
        TScratchFolder scratch("runs");
        inner = scratch.Path();
        EXPECT_EQ(fs::path(inner).parent_path(), fs::path(outer.Path()));
        const std::string a = scratch.Fresh("run#"), b = scratch.Fresh("run#");
        EXPECT_NE(a, b);
        EXPECT_EQ(scratch.Fresh("src"), inner + "/src");
        fs::create_directories(a + "/deep/er");
        std::ofstream(a + "/deep/er/file") << "data";
        fs::create_directories(b);
        fs::create_symlink("/bin", b + "/bin-link");  // followed, it would delete far too much
    }
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_TRUE(fs::exists("/bin"));
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    TScratchFolder early("early");
    const std::string path = early.Path();
    fs::remove_all(path);
    early.Remove();  // already gone: no error, and the destructor does nothing more
    EXPECT_FALSE(fs::exists(path));
}
