#include "GameFixtures.h"
#include "game/ElfVersionRecord.h"
#include "game/FileVersion.h"
#include "game/PeVersionRecord.h"
#include "game/TMemoryByteSource.h"
#include "platform/ExecutablePath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Put32(std::string& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(v >> (8 * i));
}
uint32_t Get32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::string PeVersionOf(const std::string& bytes)
{
    TFixedFileInfo info {};
    const TMemoryByteSource source(bytes.data(), bytes.size());
    return ReadPeVersionRecord(source, info) ? FormatFileVersion(info) : "none";
}

// Where the single-resource tree of a windres file keeps its parts, found by walking it
// the simple way a file with one resource allows.
struct TResourceLayout {
    size_t RsrcRaw = 0;     // file offset of the resource section = its root directory
    size_t LanguageDir = 0; // file offset of the directory of languages
    size_t DataEntry = 0;   // file offset of the IMAGE_RESOURCE_DATA_ENTRY
    size_t Record = 0;      // file offset of VS_VERSIONINFO
};

TResourceLayout FindLayout(const std::string& pe)
{
    TResourceLayout l;
    const size_t header = pe.find(std::string(".rsrc\0\0\0", 8));
    const uint32_t va = Get32(pe, header + 12);
    l.RsrcRaw = Get32(pe, header + 20);
    size_t dir = l.RsrcRaw;
    for (int level = 0; level < 3; ++level) {
        if (level == 2)
            l.LanguageDir = dir;
        dir = l.RsrcRaw + (Get32(pe, dir + 16 + 4) & 0x7FFFFFFF);
    }
    l.DataEntry = dir;
    l.Record = l.RsrcRaw + (Get32(pe, l.DataEntry) - va);
    return l;
}

class FileVersionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Folder = std::make_unique<TTempFolder>();
        const std::string& dir = Folder->Path();
        // Another resource type ahead of RT_VERSION, so the reader must pick by type.
        V1205 = MakePeFile(dir, "v1205.exe", "2 RCDATA\nBEGIN\n  \"payload\"\nEND\n" + VersionRc(1, 2, 0, 5));
        V65535 = MakePeFile(dir, "v65535.dll", VersionRc(3, 4, 5, 65535));
        NoVersion = MakePeFile(dir, "noversion.exe", "1 RCDATA\nBEGIN\n  \"x\"\nEND\n");
        NoResources = MakePeFile(dir, "bare.exe", "");
    }
    static void TearDownTestSuite() { Folder.reset(); }

    static std::unique_ptr<TTempFolder> Folder;
    static std::string V1205, V65535, NoVersion, NoResources;
};
std::unique_ptr<TTempFolder> FileVersionTest::Folder;
std::string FileVersionTest::V1205, FileVersionTest::V65535, FileVersionTest::NoVersion,
    FileVersionTest::NoResources;

TEST_F(FileVersionTest, ReadsVersionOfPeFiles)
{
    EXPECT_EQ(GetFileVersionStr(V1205), "1.2.0.5");
    EXPECT_EQ(GetFileBuild(V1205), 5);
    EXPECT_EQ(GetFileVersionStr(V65535), "3.4.5.65535");
    EXPECT_EQ(GetFileBuild(V65535), 65535);  // not sign-extended
}

TEST_F(FileVersionTest, FilesWithoutRecordGiveZero)
{
    for (const std::string& path : {NoVersion, NoResources, Folder->Path() + "/missing.exe", Folder->Path(),
                                    std::string()}) {
        EXPECT_EQ(GetFileVersionStr(path), "0.0.0.0") << path;
        EXPECT_EQ(GetFileBuild(path), 0) << path;
    }
    const std::string text = Folder->Path() + "/readme.txt";
    WriteFileBytes(text, "MZ but not a PE file at all");
    EXPECT_EQ(GetFileVersionStr(text), "0.0.0.0");
    // A pipe must not block the reader.
    const std::string fifo = Folder->Path() + "/pipe.exe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetFileVersionStr(fifo), "0.0.0.0");
}

TEST_F(FileVersionTest, TruncatedCopiesGiveZero)
{
    const std::string pe = ReadFileBytes(V65535);
    const TResourceLayout layout = FindLayout(pe);
    const size_t recordEnd = layout.Record + 40 + 52;
    for (size_t len = 0; len < pe.size(); ++len) {
        const std::string version = PeVersionOf(pe.substr(0, len));
        if (len < recordEnd)
            ASSERT_EQ(version, "none") << "cut at " << len;
        else
            ASSERT_TRUE(version == "none" || version == "3.4.5.65535") << "cut at " << len;
    }
    const std::string cut = Folder->Path() + "/cut.exe";
    WriteFileBytes(cut, pe.substr(0, layout.Record + 20));
    EXPECT_EQ(GetFileVersionStr(cut), "0.0.0.0");
}

TEST_F(FileVersionTest, HostileHeadersGiveZero)
{
    const std::string pe = ReadFileBytes(V65535);
    ASSERT_EQ(PeVersionOf(pe), "3.4.5.65535");
    const TResourceLayout l = FindLayout(pe);
    const uint32_t peAt = Get32(pe, 0x3C);
    struct TPatch {
        const char* What;
        size_t At;
        uint32_t Value;
    };
    const TPatch patches[] = {
        {"PE header past the end", 0x3C, 0xFFFFFFF0u},
        {"all section counts", peAt + 4, 0xFFFF0000u | (Get32(pe, peAt + 4) & 0xFFFF)},
        {"root entry points at the root", l.RsrcRaw + 20, 0x80000000u},
        {"language level points at the root", l.LanguageDir + 20, 0x80000000u},
        {"entry counts of the root", l.RsrcRaw + 12, 0xFFFFFFFFu},
        {"data past the end", l.DataEntry, 0x7FFFFFF0u},
        {"absurd data size", l.DataEntry + 4, 0xFFFFFFFFu},
        {"record longer than its data", l.Record, 0xFFFF0000u | 0xFFFFu},
        {"fixed info signature", l.Record + 40, 0xDEADBEEFu},
    };
    for (const TPatch& p : patches) {
        std::string bad = pe;
        Put32(bad, p.At, p.Value);
        const std::string version = PeVersionOf(bad);
        EXPECT_TRUE(version == "none" || version == "3.4.5.65535") << p.What << ": " << version;
        const std::string path = Folder->Path() + "/hostile.dll";
        WriteFileBytes(path, bad);
        EXPECT_EQ(GetFileVersionStr(path), version == "none" ? "0.0.0.0" : version) << p.What;
    }
    // A loop through the root must end without a record.
    std::string loop = pe;
    Put32(loop, l.RsrcRaw + 20, 0x80000000u);
    EXPECT_EQ(PeVersionOf(loop), "none");
    std::string signature = pe;
    Put32(signature, l.Record + 40, 0);
    EXPECT_EQ(PeVersionOf(signature), "none");
}

TEST(OwnVersionRecord, ReadBackFromTheExecutable)
{
    const std::string own = ExecutablePath();
    EXPECT_EQ(GetFileVersionStr(own), SETUP_VERSION_TEXT);
    const std::string text = SETUP_VERSION_TEXT;
    EXPECT_EQ(GetFileBuild(own), std::stoi(text.substr(text.rfind('.') + 1)));
    EXPECT_EQ(GetFileVersionStr(PROBE_PATH), "2.3.4.65535");
    EXPECT_EQ(GetFileBuild(PROBE_PATH), 65535);
}

TEST(OwnVersionRecord, DamagedElfGivesZero)
{
    const std::string elf = ReadFileBytes(PROBE_PATH);
    ASSERT_GT(elf.size(), 64u);
    TFixedFileInfo info {};
    const TMemoryByteSource whole(elf.data(), elf.size());
    ASSERT_TRUE(ReadElfVersionRecord(whole, info));
    // The section headers sit at the end, so every cut loses them.
    for (size_t len = 0; len < elf.size(); len += 7) {
        const TMemoryByteSource cut(elf.data(), len);
        ASSERT_FALSE(ReadElfVersionRecord(cut, info)) << "cut at " << len;
    }
    auto patched = [&](size_t at, size_t width, uint64_t value) {
        std::string bad = elf;
        for (size_t i = 0; i < width; ++i)
            bad[at + i] = static_cast<char>(value >> (8 * i));
        const TMemoryByteSource source(bad.data(), bad.size());
        return ReadElfVersionRecord(source, info);
    };
    EXPECT_FALSE(patched(40, 8, 0xFFFFFFFFFFFFFF00ull));  // section headers past the end
    EXPECT_FALSE(patched(58, 2, 1));                      // header entries too small
    EXPECT_FALSE(patched(60, 2, 0xFFFF));                 // more headers than the file holds
    EXPECT_FALSE(patched(62, 2, 0xFFFE));                 // name table index out of range
}

TEST(OwnVersionRecord, BareNameSearchesProgramFolderThenCurrentFolder)
{
    TTempFolder program, current;
    const std::string probe = ReadFileBytes(PROBE_PATH);
    WriteFileBytes(program.Path() + "/Setup", probe);
    WriteFileBytes(current.Path() + "/Setup", ReadFileBytes(ExecutablePath()));
    SetExecutablePathOverride(program.Path() + "/Setup");
    const std::string before = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(current.Path().c_str()), 0);

    EXPECT_EQ(GetFileVersionStr("Setup"), "2.3.4.65535");
    std::filesystem::remove(program.Path() + "/Setup");
    EXPECT_EQ(GetFileVersionStr("Setup"), SETUP_VERSION_TEXT);
    EXPECT_EQ(GetFileBuild("Nothing"), 0);

    ASSERT_EQ(::chdir(before.c_str()), 0);
    SetExecutablePathOverride("");
}

}  // namespace
