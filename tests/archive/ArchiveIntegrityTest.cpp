// Incomplete, split and locked archives, and targets that refuse writing: each failure
// carries its reason and item, and nothing partial is left in the target.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

std::string RarFixture(const std::string& name)
{
    return std::string(SETUP_TEST_RAR_FIXTURES) + "/" + name;
}

struct TOutcome {
    bool Failed = false;
    TFailReason Reason = TFailReason::Other;
    std::string Item;
    std::string Message;
};

// Opens and extracts as the installation does; everything written must be below dest.
TOutcome Install(const std::string& archive, const std::string& dest)
{
    TOutcome out;
    try {
        TGUID id{};
        FormatIdForExtension(fs::path(archive).extension().string(), id);
        I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
        reader->OpenArchiveFile(archive);
        reader->ExtractAllToFolder(dest);
    } catch (const EArchiveError& e) {
        out = {true, e.Reason(), e.Item(), e.what()};
    }
    return out;
}

std::string Head(const std::string& file, uint64_t size)
{
    return ReadFile(file).substr(0, size);
}

}  // namespace

TEST(CutArchives, CutsBetweenItemsAndInsideItemsFailAsTruncated)
{
    TTempDir box;
    for (int i = 0; i < 200; ++i)
        WriteFile(box / ("src/f" + std::to_string(1000 + i)), std::string(300 + i, char('a' + i % 26)));
    Make7zArchive(box / "full.zip", box / "src", "-tzip -mx1");
    Make7zArchive(box / "full.7z", box / "src", "-t7z -mx1 -ms=off");
    FILE* py = ::popen(("python3 -c 'import sys,zipfile;print(zipfile.ZipFile(sys.argv[1]).infolist()[98].header_offset)' " +
                        Quote(box / "full.zip")).c_str(), "r");
    char buf[32] = {};
    ASSERT_TRUE(py && std::fgets(buf, sizeof buf, py));
    ::pclose(py);
    const uint64_t item98 = std::stoull(buf);
    const std::string sevenZip = ReadFile(box / "full.7z");
    uint64_t header = 32;  // a 7z keeps its header at the end: cut before it, all data is there
    for (int i = 7; i >= 0; --i)
        header += static_cast<uint64_t>(static_cast<uint8_t>(sevenZip[12 + i])) << (8 * i);
    // RAR block starts read from the fixtures' headers: an item's header, the end block.
    const std::string rar4 = ReadFile(RarFixture("test_read_format_rar.rar"));
    const std::string rar5 = ReadFile(RarFixture("test_read_format_rar5_solid.rar"));
    const std::map<std::string, std::string> cuts = {
        {"boundary.zip", Head(box / "full.zip", item98)},  {"inside.zip", Head(box / "full.zip", item98 + 45)},
        {"boundary.7z", sevenZip.substr(0, header)},        {"inside.7z", sevenZip.substr(0, header / 2)},
        {"boundary4.rar", rar4.substr(0, 90)},             {"inside4.rar", rar4.substr(0, 120)},
        {"noend4.rar", rar4.substr(0, 329)},                {"boundary5.rar", rar5.substr(0, 490)},
        {"inside5.rar", rar5.substr(0, 700)}};
    // A .rar handler without RAR5 fails the cut RAR5 files like the whole one.
    bool rar5Opens = true;
    try {
        TGUID rar{};
        FormatIdForExtension(".rar", rar);
        CreateArchiveReader(rar, LibraryPath())->OpenArchiveFile(RarFixture("test_read_format_rar5_solid.rar"));
    } catch (const EArchiveError&) {
        rar5Opens = false;
    }
    for (const auto& [name, bytes] : cuts) {
        SCOPED_TRACE(name);
        WriteFile(box / name, bytes);
        const TOutcome o = Install(box / name, box / ("dest-" + name));
        EXPECT_TRUE(o.Failed);
        if (name.find(".7z") == std::string::npos && (rar5Opens || name.find("5.rar") == std::string::npos)) {
            EXPECT_EQ(o.Reason, TFailReason::Truncated);
        }
        EXPECT_FALSE(fs::exists(box / ("dest-" + name)));
    }
    // The whole archives install.
    EXPECT_FALSE(Install(box / "full.zip", box / "dest-zip").Failed);
    EXPECT_EQ(ReadTree(box / "dest-zip"), ReadTree(box / "src"));
    EXPECT_FALSE(Install(RarFixture("test_read_format_rar.rar"), box / "dest-rar").Failed);
    EXPECT_EQ(ReadFile(box / "dest-rar/testdir/test.txt").size(), 20u);
}

TEST(FailureReasons, SplitEncryptedReadOnlyMissingAndDiskFull)
{
    TTempDir box;
    // Every part of a volume set holds only a piece of its one item.
    for (const char* part : {"part1", "part2", "part3"}) {
        const std::string name = std::string("set.") + part + ".rar";
        fs::copy_file(RarFixture(std::string("test_rar_multivolume_single_file.") + part + ".rar"), box / name);
        WriteFile(box / "dest-set/LibarchiveAddingTest.html", "the earlier copy");
        const TOutcome o = Install(box / name, box / "dest-set");
        EXPECT_EQ(o.Reason, TFailReason::SplitItem) << part;
        EXPECT_EQ(o.Item, "LibarchiveAddingTest.html");
        EXPECT_EQ(ListEntries(box / "dest-set"), std::vector<std::string>{"LibarchiveAddingTest.html"});
        EXPECT_EQ(ReadFile(box / "dest-set/LibarchiveAddingTest.html"), "the earlier copy");
    }

    WriteFile(box / "src/secret.txt", std::string(5000, 's'));
    Make7zArchive(box / "locked.7z", box / "src", "-t7z -pSecret");
    Make7zArchive(box / "locked.zip", box / "src", "-tzip -pSecret");
    fs::copy_file(RarFixture("test_read_format_rar4_encrypted.rar"), box / "locked.rar");
    for (const char* name : {"locked.7z", "locked.zip", "locked.rar"}) {
        const TOutcome o = Install(box / name, box / "dest-locked");
        EXPECT_EQ(o.Reason, TFailReason::Encrypted) << name;
        EXPECT_FALSE(o.Item.empty()) << name;
    }
    EXPECT_FALSE(fs::exists(box / "dest-locked/secret.txt") || fs::exists(box / "dest-locked/b.txt"));

    Make7zArchive(box / "plain.zip", box / "src", "-tzip");
    WriteFile(box / "dest-ro/secret.txt", "mine");
    ::chmod((box / "dest-ro/secret.txt").c_str(), 0444);
    TOutcome o = Install(box / "plain.zip", box / "dest-ro");
    EXPECT_EQ(o.Reason, TFailReason::ReadOnly);
    EXPECT_EQ(o.Item, "secret.txt");
    EXPECT_EQ(ReadFile(box / "dest-ro/secret.txt"), "mine");
    fs::remove(box / "plain.zip");
    EXPECT_EQ(Install(box / "plain.zip", box / "dest-gone").Reason, TFailReason::ArchiveMissing);

    // A file system too small for the second item: its earlier copy stays, no piece is left.
    const std::string small = box / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    std::string noise(400000, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteFile(box / "big/a.txt", "fits");
    WriteFile(box / "big/b.bin", noise);
    Make7zArchive(box / "big.7z", box / "big", "-t7z -mx0");
    WriteFile(small + "/b.bin", "the earlier copy");
    o = Install(box / "big.7z", small);
    EXPECT_EQ(o.Reason, TFailReason::DiskFull);
    EXPECT_EQ(o.Item, "b.bin");
    EXPECT_EQ(ReadFile(small + "/b.bin"), "the earlier copy");
    EXPECT_EQ(ListEntries(small), (std::vector<std::string>{"a.txt", "b.bin"}));
    ::umount(small.c_str());
}

TEST(Overwrite, ReplacedFilesKeepTheirPermissionBits)
{
    TTempDir box;
    WriteFile(box / "src/run.sh", "#!/bin/sh\necho new\n");
    WriteFile(box / "src/private.cfg", "new");
    WriteFile(box / "dest/run.sh", "old");
    WriteFile(box / "dest/private.cfg", "old");
    ::chmod((box / "dest/run.sh").c_str(), 0750);
    ::chmod((box / "dest/private.cfg").c_str(), 0600);
    Make7zArchive(box / "mods.7z", box / "src", "-t7z");
    ASSERT_FALSE(Install(box / "mods.7z", box / "dest").Failed);
    EXPECT_EQ(ReadFile(box / "dest/run.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(fs::status(box / "dest/run.sh").permissions(), fs::perms(0750));
    EXPECT_EQ(fs::status(box / "dest/private.cfg").permissions(), fs::perms(0600));
}

TEST(VolumeSets, TheWholeSetFromItsFirstPartAndNothingFragmentaryWithoutAPart)
{
    TTempDir box;
    const std::string item = "LibarchiveAddingTest.html";
    auto lay = [&box](const std::string& folder, std::initializer_list<const char*> parts) {
        for (const char* part : parts)
            fs::copy_file(RarFixture(std::string("test_rar_multivolume_single_file.") + part + ".rar"),
                          box / (folder + "/set." + part + ".rar"));
    };
    fs::create_directories(box / "whole");
    lay("whole", {"part1", "part2", "part3"});
    // 7-Zip's own program puts the same bytes together.
    ASSERT_EQ(0, std::system(("cd " + Quote(box / "whole") + " && 7z x -y -o" + Quote(box / "cli") + " set.part1.rar >/dev/null").c_str()));
    const TOutcome whole = Install(box / "whole/set.part1.rar", box / "dest-whole");
    EXPECT_FALSE(whole.Failed) << whole.Message;
    EXPECT_EQ(ReadFile(box / ("dest-whole/" + item)).size(), 20111u);
    EXPECT_EQ(ReadFile(box / ("dest-whole/" + item)), ReadFile(box / ("cli/" + item)));

    // A middle part missing: the item fails as split, naming the part; the earlier copy stays.
    fs::create_directories(box / "gap");
    lay("gap", {"part1", "part3"});
    WriteFile(box / ("dest-gap/" + item), "the earlier copy");
    const TOutcome gap = Install(box / "gap/set.part1.rar", box / "dest-gap");
    EXPECT_EQ(gap.Reason, TFailReason::SplitItem);
    EXPECT_NE(gap.Message.find("set.part2.rar"), std::string::npos) << gap.Message;
    EXPECT_EQ(ReadFile(box / ("dest-gap/" + item)), "the earlier copy");
    EXPECT_EQ(ListEntries(box / "dest-gap"), std::vector<std::string>{item});

    // Opened at a later part, even with every part beside it: never a whole item.
    const TOutcome later = Install(box / "whole/set.part2.rar", box / "dest-later");
    EXPECT_EQ(later.Reason, TFailReason::SplitItem);
    EXPECT_FALSE(fs::exists(box / ("dest-later/" + item)));
}

// Link entries of RAR5 come out as zip's and 7z's do: plain files, a symbolic link holding its
// target's text, a hard link a copy of the file it names; never a link, nothing outside.
TEST(VolumeSets, Rar5LinkEntriesBecomePlainFiles)
{
    TTempDir box;
    ASSERT_EQ(0, std::system(("python3 " + Quote(SETUP_TEST_CRAFT_RAR5) + " " + Quote(box / "links.rar")).c_str()));
    const TOutcome o = Install(box / "links.rar", box / "dest");
    ASSERT_FALSE(o.Failed) << o.Message;
    EXPECT_EQ(ReadFile(box / "dest/sym.txt"), "real.txt");
    EXPECT_EQ(ReadFile(box / "dest/hard.txt"), "real content\n");
    EXPECT_EQ(ReadFile(box / "dest/out.txt"), "../../outside");
    EXPECT_EQ(ReadFile(box / "dest/after.txt"), "after\n");
    for (const char* name : {"sym.txt", "hard.txt", "out.txt"})
        EXPECT_FALSE(fs::is_symlink(box / (std::string("dest/") + name))) << name;
    EXPECT_FALSE(fs::exists(box / "outside"));
}
