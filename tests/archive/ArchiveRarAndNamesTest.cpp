// RAR in every version through the 7-Zip built from source, and zip names written by DOS-era
// tools: archives from libarchive's test suite and zips crafted with Python's zipfile.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QString>

#include <clocale>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"
#include "archive/WideText.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& name)
{
    return std::string(SETUP_TEST_RAR_FIXTURES) + "/" + name;
}

I7zReaderPtr OpenWith(const std::string& archive, const std::string& lib)
{
    TGUID id{};
    EXPECT_TRUE(FormatIdForExtension(fs::path(archive).extension().string(), id)) << archive;
    I7zReaderPtr reader = CreateArchiveReader(id, lib);
    reader->OpenArchiveFile(archive);
    return reader;
}

// Relative path -> SHA-256 (hex) of every file extracted below root.
std::map<std::string, std::string> Digests(const std::string& root)
{
    std::map<std::string, std::string> out;
    for (const auto& [path, data] : ReadTree(root))
        out[path] = QCryptographicHash::hash(QByteArray::fromStdString(data), QCryptographicHash::Sha256)
                        .toHex()
                        .toStdString();
    return out;
}

std::string Utf8(const wchar_t* text)
{
    return WideToSystem(text);
}

const std::string kTestText = "5a5f16e01faf8adf92eb4499a2d3e93010c4b41dbb7f698f4a8466d9f58e6dd2";
const std::string kTestBin = "588870a2dade35c2650fbb7898c9a9c7f21fce7c281198604e8d0c9737f2c375";

}  // namespace

// Digests of what libarchive's tests say the archives hold; the archives' own CRCs are
// checked by the library on the way.
TEST(Rar, EveryVersionExtractsItsKnownContents)
{
    struct TCase {
        const char* Archive;
        TGUID OpenedAs;
        std::map<std::string, std::string> Files;
    };
    const TCase cases[] = {
        {"test_read_format_rar.rar", CLSID_FormatRar,
         // The link comes out as a plain file holding its target, like every link.
         {{"test.txt", kTestText}, {"testdir/test.txt", kTestText},
          {"testlink", "a6ed0c785d4590bc95c216bcf514384eee6765b1c2b732d0b0a1ad7e14d3204a"}}},
        {"test_read_format_rar3_lowdist_reset.rar", CLSID_FormatRar,
         {{"lowdist-reset.bin", "353d5f7a0789034186922e5834f666f36fa1f98e18f53fb4140b336ba090a923"}}},
        {"test_read_format_rar5_compressed.rar", CLSID_FormatRar5, {{"test.bin", kTestBin}}},
        {"test_read_format_rar5_solid.rar", CLSID_FormatRar5,
         {{"test.bin", kTestBin},
          {"test1.bin", "7d89f86f9f69d744ffff3fc043e15bf89fc3ffc134ffcbb31d164a99bb8b67b0"},
          {"test2.bin", "f81e6fceeeab366306b23466bf6bb3aac2875e0906dc20a8652be0696ceb15a2"},
          {"test3.bin", "5e621f2b6ce8fed758c3df8221f994eda55d1e432c7cc4349c34a30ec2e1c43d"},
          {"test4.bin", "2627f40180217252956edb9a426e8d3e344adaf89019d3bccbe04f6c3416dcdd"},
          {"test5.bin", "b0622b648b174abd9c5f3965155bbcc82c642f997ab8949add0a8632bf94e636"},
          {"test6.bin", "0b79ce23670b7c2e5a0d4b62f0de7b0c745522be9ed6a9ec70da6991c2f010f2"}}},
        {"test_read_format_rar5_stored.rar", CLSID_FormatRar5,
         {{"helloworld.txt", "fef9ad8cf601b43f76c6320075f62267c6e5c0a526d750a70b80c919a4a0aad8"}}},
    };
    TTempDir out;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Archive);
        I7zReaderPtr reader = OpenWith(Fixture(c.Archive), LibraryPath());
        EXPECT_EQ(reader->GetFormatId(), c.OpenedAs);
        EXPECT_EQ(reader->ItemCount(), c.Archive == std::string("test_read_format_rar.rar") ? 5u : c.Files.size());
        reader->ExtractAllToFolder(out / c.Archive);
        EXPECT_EQ(Digests(out / c.Archive), c.Files);
    }
}

TEST(Rar, EachHandlerFallsBackToTheOtherAndFailuresStayFailures)
{
    TTempDir box;
    // One reader, RAR4 then RAR5 then RAR4 again: each open finds its handler.
    I7zReaderPtr reader = CreateArchiveReader(CLSID_FormatRar, LibraryPath());
    for (const char* name : {"test_read_format_rar.rar", "test_read_format_rar5_stored.rar",
                             "test_read_format_rar3_lowdist_reset.rar"}) {
        SCOPED_TRACE(name);
        reader->OpenArchiveFile(Fixture(name));
        EXPECT_GT(reader->ItemCount(), 0u);
        reader->CloseArchive();
    }
    // Something neither handler reads fails with the library's answer, and the reader
    // stays a RAR reader.
    WriteFile(box / "text.rar", "Rar! but only text, not an archive of any kind\n");
    I7zReaderPtr text = CreateArchiveReader(CLSID_FormatRar, LibraryPath());
    EXPECT_EQ(ErrorOf([&] { text->OpenArchiveFile(box / "text.rar"); }), ResultCodeText(kS_FALSE));
    EXPECT_EQ(text->GetFormatId(), CLSID_FormatRar);
    // A RAR5 archive that is not at the start of its stream opens from where it lies.
    WriteFile(box / "padded.rar", std::string(4096, '\0') + ReadFile(Fixture("test_read_format_rar5_stored.rar")));
    I7zReaderPtr padded = OpenWith(box / "padded.rar", LibraryPath());
    padded->ExtractAllToFolder(box / "padded");
    EXPECT_EQ(ReadFile(box / "padded/helloworld.txt"), "hello libarchive test suite!\n");
}

// The built library is the one with RAR codecs; Debian's lists RAR but cannot decompress
// it. Both have the interface layout this program calls.
TEST(Libraries, BuiltAndDebianLoadAndOnlyTheBuiltDecompressesRar)
{
    TTempDir box;
    for (const std::string& lib : {LibraryPath(), std::string(SETUP_DEBIAN_7Z_LIBRARY)}) {
        SCOPED_TRACE(lib);
        I7zReaderPtr reader = OpenWith(Fixture("test_read_format_rar5_stored.rar"), lib);
        reader->ExtractAllToFolder(box / "stored");
        EXPECT_EQ(ReadFile(box / "stored/helloworld.txt"), "hello libarchive test suite!\n");
    }
    I7zReaderPtr debian = OpenWith(Fixture("test_read_format_rar3_lowdist_reset.rar"), SETUP_DEBIAN_7Z_LIBRARY);
    EXPECT_EQ(ErrorOf([&] { debian->ExtractAllToFolder(box / "debian"); }),
              "Cannot extract lowdist-reset.bin: unsupported compression method");
    I7zReaderPtr built = OpenWith(Fixture("test_read_format_rar3_lowdist_reset.rar"), LibraryPath());
    built->ExtractAllToFolder(box / "built");
    EXPECT_EQ(ReadFile(box / "built/lowdist-reset.bin").size(), 64u);
}

// The library reads names stored without the UTF-8 flag by the locale it is loaded under:
// one character per byte in the C locale, UTF-8 with the undecodable bytes kept in a UTF-8
// one. Both readings, through both libraries, give the same Cyrillic names.
TEST(LegacyZipNames, Cp866AndUnflaggedUtf8ComeOutInCyrillic)
{
    TTempDir box;
    CraftZip("cp866", box / "dos.zip");
    const std::vector<std::string> paths = {
        Utf8(L"Моды/Прицел Ёжик.txt"), Utf8(L"Моды/readme.txt"), Utf8(L"Звук/привет.txt"),
        Utf8(L"Звук/café.txt"),        Utf8(L"Extra/résumé.txt"), Utf8(L"Café/naïve.txt"),
        Utf8(L"Café/\U0001F600.txt")};
    const std::map<std::string, std::string> expected = {
        {paths[0], "cp866 one"},    {paths[1], "cp866 two"},       {paths[2], "utf8 without flag"},
        {paths[3], "latin utf8 without flag"}, {paths[4], "unicode path"}, {paths[5], "flagged"},
        {paths[6], "flagged astral"}};
    int run = 0;
    for (const char* locale : {"C", "C.UTF-8"}) {
        ASSERT_TRUE(std::setlocale(LC_ALL, locale)) << locale;
        for (const std::string& lib : {LibraryPath(), std::string(SETUP_DEBIAN_7Z_LIBRARY)}) {
            SCOPED_TRACE(lib + " in " + locale);
            I7zReaderPtr reader = OpenWith(box / "dos.zip", lib);
            std::vector<std::string> got;
            for (uint32_t i = 0; i < reader->ItemCount(); ++i)
                got.push_back(WideToSystem(reader->ItemPath(i)));
            EXPECT_EQ(got, paths);
            const std::string dest = box / ("out" + std::to_string(run++));
            reader->ExtractAllToFolder(dest);
            EXPECT_EQ(ReadTree(dest), expected);
        }
    }
    std::setlocale(LC_ALL, "C");
}

// A Unicode path field the library rejects (its CRC is not the stored name's) leaves the
// stored DOS name, decoded as any other, whatever the locale the library reads under.
TEST(LegacyZipNames, ARejectedUnicodePathFieldLeavesTheDosName)
{
    TTempDir box;
    CraftZip("bad-unicode-path", box / "bad.zip");
    int run = 0;
    for (const char* locale : {"C", "C.UTF-8"}) {
        ASSERT_TRUE(std::setlocale(LC_ALL, locale)) << locale;
        I7zReaderPtr reader = OpenWith(box / "bad.zip", LibraryPath());
        EXPECT_EQ(WideToSystem(reader->ItemPath(0)), Utf8(L"Прицел/Файл 2.txt")) << locale;
        const std::string dest = box / ("out" + std::to_string(run++));
        reader->ExtractAllToFolder(dest);
        EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{Utf8(L"Прицел/Файл 2.txt"), "raw name"}}));
    }
    std::setlocale(LC_ALL, "C");
}

TEST(LegacyZipNames, EveryUpperHalfByteAsPythonsCodecReadsIt)
{
    TTempDir box;
    CraftZip("cp866-table", box / "table.zip");
    std::vector<std::string> expected;
    std::istringstream names(ReadFile(box / "table.zip.names"));
    for (std::string line; std::getline(names, line);)
        expected.push_back(line);
    ASSERT_EQ(expected.size(), 4u);
    I7zReaderPtr reader = OpenWith(box / "table.zip", LibraryPath());
    reader->ExtractAllToFolder(box / "out");
    std::vector<std::string> got;
    for (const auto& [path, data] : ReadTree(box / "out"))
        got.push_back(path);
    EXPECT_EQ(got, expected);
}

// The library stops at a block it does not know and lists only the items before it: the
// archive fails with its reason, in the probe too, rather than installing one file of four.
TEST(PartlyReadArchives, AnUnknownRar5BlockFailsTheArchive)
{
    TTempDir box;
    ASSERT_EQ(0, std::system(("python3 " + Quote(SETUP_TEST_CRAFT_RAR5) + " " + Quote(box / "unknown.rar") +
                              " unknown-block").c_str()));
    // Already the open says so, which the catalogue's probe turns into the format note.
    I7zReaderPtr reader = CreateArchiveReader(CLSID_FormatRar, LibraryPath());
    try {
        reader->OpenArchiveFile(box / "unknown.rar");
        ADD_FAILURE() << "opened as whole with " << reader->ItemCount() << " of 4 items";
        reader->ExtractAllToFolder(box / "out");
    } catch (const EArchiveError& e) {
        EXPECT_EQ(e.Reason(), TFailReason::UnsupportedFeature) << e.what();
    }
    EXPECT_FALSE(fs::exists(box / "out"));
}
