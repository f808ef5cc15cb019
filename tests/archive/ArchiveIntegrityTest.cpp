// Archives that are incomplete, split or locked, and targets that refuse writing: each
// failure carries the reason and the item, and nothing partial is left in the target.
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
    std::string Text;
};

// Opens and extracts archive into dest, as the installation does.
TOutcome Install(const std::string& archive, const std::string& dest)
{
    TOutcome out;
    try {
        TGUID id{};
        if (!FormatIdForExtension(fs::path(archive).extension().string(), id))
            throw EArchiveError("no format");
        I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
        reader->OpenArchiveFile(archive);
        reader->ExtractAllToFolder(dest);
    } catch (const EArchiveError& e) {
        out.Failed = true;
        out.Reason = e.Reason();
        out.Item = e.Item();
        out.Text = e.what();
    }
    return out;
}

void CutTo(const std::string& from, const std::string& to, uint64_t size)
{
    WriteFile(to, ReadFile(from).substr(0, size));
}

uint64_t ZipLocalHeaderOffset(const std::string& zip, int index)
{
    const std::string cmd = "python3 -c " +
                            Quote("import sys,zipfile;print(zipfile.ZipFile(sys.argv[1]).infolist()[int(sys.argv[2])].header_offset)") +
                            " " + Quote(zip) + " " + std::to_string(index);
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[64] = {};
    const bool ok = p && std::fgets(buf, sizeof buf, p);
    if (p)
        ::pclose(p);
    EXPECT_TRUE(ok);
    return ok ? std::stoull(buf) : 0;
}

// Nothing at all in dest, temporary files included.
void ExpectNothingWritten(const std::string& dest)
{
    EXPECT_TRUE(ListEntries(dest).empty()) << dest;
}

const char* ReasonName(TFailReason r)
{
    switch (r) {
    case TFailReason::Other: return "Other";
    case TFailReason::DataError: return "DataError";
    case TFailReason::Truncated: return "Truncated";
    case TFailReason::SplitItem: return "SplitItem";
    case TFailReason::UnsafePath: return "UnsafePath";
    case TFailReason::Encrypted: return "Encrypted";
    case TFailReason::DiskFull: return "DiskFull";
    case TFailReason::ReadOnly: return "ReadOnly";
    case TFailReason::ArchiveMissing: return "ArchiveMissing";
    }
    return "?";
}

}  // namespace

TEST(CutArchives, CutsAtItemBoundariesAndInsideItemsFailAsTruncated)
{
    TTempDir box;
    for (int i = 0; i < 200; ++i)
        WriteFile(box / ("src/f" + std::to_string(1000 + i) + ".txt"), std::string(300 + i, char('a' + i % 26)));
    Make7zArchive(box / "full.zip", box / "src", "-tzip -mx1");
    Make7zArchive(box / "full.7z", box / "src", "-t7z -mx1 -ms=off");

    const uint64_t item98 = ZipLocalHeaderOffset(box / "full.zip", 98);
    CutTo(box / "full.zip", box / "boundary.zip", item98);
    CutTo(box / "full.zip", box / "inside.zip", item98 + 45);
    // A 7z keeps its header at the end: cut just before it, every item's data is there.
    const std::string head = ReadFile(box / "full.7z").substr(0, 32);
    uint64_t nextHeader = 0;
    for (int i = 7; i >= 0; --i)
        nextHeader = (nextHeader << 8) | static_cast<uint8_t>(head[12 + i]);
    CutTo(box / "full.7z", box / "boundary.7z", 32 + nextHeader);
    CutTo(box / "full.7z", box / "inside.7z", (32 + nextHeader) / 2);
    // Block starts read from the fixtures' headers: the second item's header, and the
    // first item's header after the archive header.
    CutTo(RarFixture("test_read_format_rar.rar"), box / "boundary4.rar", 90);
    CutTo(RarFixture("test_read_format_rar.rar"), box / "inside4.rar", 120);
    CutTo(RarFixture("test_read_format_rar.rar"), box / "noend4.rar", 329);
    CutTo(RarFixture("test_read_format_rar5_solid.rar"), box / "boundary5.rar", 490);
    CutTo(RarFixture("test_read_format_rar5_solid.rar"), box / "inside5.rar", 700);

    // RAR5 needs a library whose .rar handler reads it; with one that does not, the cut
    // files fail like the whole one.
    TGUID rarId{};
    FormatIdForExtension(".rar", rarId);
    bool rar5Opens = true;
    try {
        CreateArchiveReader(rarId, LibraryPath())->OpenArchiveFile(RarFixture("test_read_format_rar5_solid.rar"));
    } catch (const EArchiveError&) {
        rar5Opens = false;
    }
    for (const char* name : {"boundary.zip", "inside.zip", "boundary4.rar", "inside4.rar", "noend4.rar",
                             "boundary5.rar", "inside5.rar"}) {
        SCOPED_TRACE(name);
        const TOutcome o = Install(box / name, box / (std::string("dest-") + name));
        EXPECT_TRUE(o.Failed);
        if (rar5Opens || std::string(name).find("5.rar") == std::string::npos) {
            EXPECT_STREQ(ReasonName(o.Reason), "Truncated") << o.Text;
        }
        ExpectNothingWritten(box / (std::string("dest-") + name));
    }
    for (const char* name : {"boundary.7z", "inside.7z"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Install(box / name, box / "dest-7z").Failed);
        ExpectNothingWritten(box / "dest-7z");
    }

    // The whole archives still install, the complete RAR fixtures included.
    EXPECT_FALSE(Install(box / "full.zip", box / "dest-zip").Failed);
    EXPECT_EQ(ReadTree(box / "dest-zip").size(), 200u);
    EXPECT_FALSE(Install(box / "full.7z", box / "dest-full7z").Failed);
    EXPECT_EQ(ReadTree(box / "dest-full7z"), ReadTree(box / "src"));
    const TOutcome rar = Install(RarFixture("test_read_format_rar.rar"), box / "dest-rar");
    EXPECT_FALSE(rar.Failed) << rar.Text;
    EXPECT_EQ(ReadFile(box / "dest-rar/testdir/test.txt").size(), 20u);
}

TEST(Volumes, SplitItemsAreRefusedAtEveryPart)
{
    TTempDir box;
    for (const char* part : {"part1", "part2", "part3"}) {
        SCOPED_TRACE(part);
        const std::string name = std::string("test_rar_multivolume_single_file.") + part + ".rar";
        fs::copy_file(RarFixture(name), box / name);
        const std::string dest = box / (std::string("dest-") + part);
        WriteFile(dest + "/LibarchiveAddingTest.html", "the earlier copy");
        const TOutcome o = Install(box / name, dest);
        EXPECT_TRUE(o.Failed);
        EXPECT_STREQ(ReasonName(o.Reason), "SplitItem") << o.Text;
        EXPECT_EQ(o.Item, "LibarchiveAddingTest.html");
        EXPECT_EQ(ReadFile(dest + "/LibarchiveAddingTest.html"), "the earlier copy");
        EXPECT_EQ(ListEntries(dest).size(), 1u);
    }
}

TEST(FailureReasons, EncryptedReadOnlyAndMissing)
{
    TTempDir box;
    WriteFile(box / "src/secret.txt", std::string(5000, 's'));
    Make7zArchive(box / "locked.7z", box / "src", "-t7z -pSecret");
    Make7zArchive(box / "locked.zip", box / "src", "-tzip -pSecret");
    fs::copy_file(RarFixture("test_read_format_rar4_encrypted.rar"), box / "locked.rar");
    for (const char* name : {"locked.7z", "locked.zip", "locked.rar"}) {
        SCOPED_TRACE(name);
        const TOutcome o = Install(box / name, box / "dest-locked");
        EXPECT_TRUE(o.Failed);
        EXPECT_STREQ(ReasonName(o.Reason), "Encrypted") << o.Text;
        EXPECT_FALSE(o.Item.empty());
        EXPECT_FALSE(fs::exists(box / "dest-locked/secret.txt"));
        EXPECT_FALSE(fs::exists(box / "dest-locked/b.txt"));
    }

    Make7zArchive(box / "plain.zip", box / "src", "-tzip");
    WriteFile(box / "dest-ro/secret.txt", "mine");
    fs::permissions(box / "dest-ro/secret.txt", fs::perms::owner_read | fs::perms::group_read);
    TOutcome o = Install(box / "plain.zip", box / "dest-ro");
    EXPECT_STREQ(ReasonName(o.Reason), "ReadOnly") << o.Text;
    EXPECT_EQ(o.Item, "secret.txt");
    EXPECT_EQ(ReadFile(box / "dest-ro/secret.txt"), "mine");

    fs::remove(box / "plain.zip");
    o = Install(box / "plain.zip", box / "dest-gone");
    EXPECT_STREQ(ReasonName(o.Reason), "ArchiveMissing") << o.Text;
    EXPECT_FALSE(fs::exists(box / "dest-gone"));
}

TEST(FailureReasons, FullFileSystemLeavesNoPartialFile)
{
    TTempDir box;
    const std::string mount = box / "small";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    struct TUnmount {
        std::string Path;
        ~TUnmount() { ::umount(Path.c_str()); }
    } unmount{mount};

    std::string noise(400000, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    WriteFile(box / "src/a-small.txt", "fits");
    WriteFile(box / "src/b-big.bin", noise);
    Make7zArchive(box / "big.7z", box / "src", "-t7z -mx1");
    WriteFile(mount + "/dest/b-big.bin", "the earlier copy");

    const TOutcome o = Install(box / "big.7z", mount + "/dest");
    EXPECT_TRUE(o.Failed);
    EXPECT_STREQ(ReasonName(o.Reason), "DiskFull") << o.Text;
    EXPECT_EQ(o.Item, "b-big.bin");
    EXPECT_EQ(ReadFile(mount + "/dest/b-big.bin"), "the earlier copy");
    for (const auto& e : ListEntries(mount))
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
}

TEST(Overwrite, ReplacedFilesKeepTheirPermissionBits)
{
    TTempDir box;
    WriteFile(box / "src/run.sh", "#!/bin/sh\necho new\n");
    WriteFile(box / "src/private.cfg", "new secret");
    WriteFile(box / "src/fresh.txt", "new file");
    Make7zArchive(box / "mods.7z", box / "src", "-t7z");
    const std::string dest = box / "dest/";
    WriteFile(dest + "run.sh", "old");
    WriteFile(dest + "private.cfg", "old");
    ::chmod((dest + "run.sh").c_str(), 0750);
    ::chmod((dest + "private.cfg").c_str(), 0600);

    ASSERT_FALSE(Install(box / "mods.7z", dest).Failed);
    auto mode = [](const std::string& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    };
    EXPECT_EQ(ReadFile(dest + "run.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(mode(dest + "run.sh"), 0750u);
    EXPECT_EQ(mode(dest + "private.cfg"), 0600u);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(mode(dest + "fresh.txt"), 0666u & ~mask);
}
