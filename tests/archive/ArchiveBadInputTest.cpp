// Hostile and damaged archives: each gives a clear error or a defined result, writes
// nothing outside the destination and destroys no good file.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"
#include "archive/ItemPathCheck.h"
#include "archive/T7zStream.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.rfind(prefix, 0) == 0;
}

I7zReaderPtr OpenReader(const std::string& archive)
{
    TGUID id{};
    EXPECT_TRUE(FormatIdForExtension(fs::path(archive).extension().string(), id));
    I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
    reader->OpenArchiveFile(archive);
    return reader;
}

// Extracts into box/dest/ and answers the error text ("" when none). Everything the
// extraction made must be below dest.
std::string ExtractInBox(const TTempDir& box, const std::string& archive)
{
    std::string error;
    try {
        OpenReader(archive)->ExtractAllToFolder(box / "dest");
    } catch (const EArchiveError& e) {
        error = e.what();
    }
    for (const auto& e : ListEntries(box.Path())) {
        const bool anArchive = e.find('/') == std::string::npos &&
                               (fs::path(e).extension() == ".zip" || fs::path(e).extension() == ".7z");
        EXPECT_TRUE(StartsWith(e, "dest") || anArchive) << e;
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
    }
    return error;
}

}  // namespace

TEST(ItemPaths, OnlyPathsInsideTheDestinationPass)
{
    std::wstring rel;
    EXPECT_TRUE(MakeSafeRelativePath(L"a/b/c.txt", rel));
    EXPECT_EQ(rel, L"a/b/c.txt");
    EXPECT_TRUE(MakeSafeRelativePath(L"a\\.\\b//c.txt", rel));
    EXPECT_EQ(rel, L"a/b/c.txt");
    EXPECT_TRUE(MakeSafeRelativePath(L"..a/b..", rel));
    EXPECT_EQ(rel, L"..a/b..");
    for (const wchar_t* bad : {L"../x", L"a/../../x", L"a\\..\\..\\x", L"..", L"/etc/passwd",
                               L"\\\\server\\share\\x", L"C:\\x", L"c:x", L"a/.."})
        EXPECT_FALSE(MakeSafeRelativePath(bad, rel)) << bad;
}

TEST(CraftedZips, PathsLeadingOutAreRefusedNamingTheItem)
{
    const struct {
        const char* Kind;
        const char* Item;
    } cases[] = {{"dotdot", "../evil.txt"},
                 {"backslash", "..\\..\\evil.txt"},
                 {"inner-dotdot", "a/../../evil.txt"},
                 {"absolute", "/tmp/evil-absolute.txt"},
                 {"drive", "C:\\evil.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Kind);
        TTempDir box;
        CraftZip(c.Kind, box / "crafted.zip");
        const std::string error = ExtractInBox(box, box / "crafted.zip");
        EXPECT_TRUE(StartsWith(error, "Item path leads out of the destination folder: ")) << error;
        // The library may already have turned '\' into '/'; the item is named either way.
        EXPECT_NE(error.find("evil"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(box / "evil.txt"));
    }
    EXPECT_FALSE(fs::exists("/tmp/evil-absolute.txt"));
}

TEST(CraftedZips, LinksAndModesGivePlainFiles)
{
    TTempDir box;
    CraftZip("symlink", box / "link.zip");
    // The link item is a plain file, so "link/inside.txt" cannot be made below it.
    EXPECT_TRUE(StartsWith(ExtractInBox(box, box / "link.zip"), "Cannot create file "));
    EXPECT_FALSE(fs::is_symlink(box / "dest/link"));
    EXPECT_EQ(ReadFile(box / "dest/link"), "/etc/passwd");

    CraftZip("modes", box / "modes.zip");
    EXPECT_EQ(ExtractInBox(box, box / "modes.zip"), "");
    const auto setuid = fs::status(box / "dest/setuid.sh").permissions();
    EXPECT_EQ(setuid & fs::perms::set_uid, fs::perms::none);
    EXPECT_NE(fs::status(box / "dest/none.txt").permissions() & fs::perms::owner_read, fs::perms::none);
    EXPECT_EQ(ReadFile(box / "dest/none.txt"), "no bits");
}

TEST(CraftedZips, NameClashesAndLongNames)
{
    TTempDir box;
    CraftZip("dup", box / "dup.zip");
    EXPECT_EQ(ExtractInBox(box, box / "dup.zip"), "");
    EXPECT_EQ(ReadFile(box / "dest/dup.txt"), "second");

    CraftZip("file-then-dir", box / "ftd.zip");
    EXPECT_EQ(ExtractInBox(box, box / "ftd.zip"), "Cannot create file " + box / "dest/a/b");
    EXPECT_EQ(ReadFile(box / "dest/a"), "file a");

    CraftZip("longname", box / "long.zip");
    EXPECT_EQ(ExtractInBox(box, box / "long.zip"), "Cannot create file " + box / "dest/" + std::string(300, 'n'));

    CraftZip("long-nested", box / "nested.zip");
    EXPECT_EQ(ExtractInBox(box, box / "nested.zip"), "");
    EXPECT_EQ(ReadFile(box / "dest/" + std::string(200, 'd') + "/" + std::string(100, 'f')), "nested long");
}

TEST(CraftedZips, ManyEmptyItems)
{
    // Every item passes through the callbacks; into memory, since making 100,000 files
    // measures the file system rather than the binding.
    TTempDir box;
    CraftZip("many-empty", box / "many.zip");
    I7zReaderPtr reader = OpenReader(box / "many.zip");
    EXPECT_EQ(reader->ItemCount(), 100000u);
    struct TCounter {
        uint32_t Streams = 0;
        TMemoryStream Sink;
    } counter;
    reader->ExtractEveryItem(false, &counter, [](void* sender, uint32_t, ISequentialOutStream** stream) -> int32_t {
        auto* c = static_cast<TCounter*>(sender);
        ++c->Streams;
        auto* adapter = new T7zStream(&c->Sink, TStreamOwnership::Borrowed);
        adapter->AddRef();
        *stream = static_cast<ISequentialOutStream*>(adapter);
        return 0;
    });
    EXPECT_EQ(counter.Streams, 100000u);
    EXPECT_TRUE(counter.Sink.Data.empty());

}

TEST(EmptyArchives, CountZeroAndWriteNothing)
{
    TTempDir box;
    CraftZip("empty", box / "empty.zip");
    // A 7z with no header at all: signature, version, and a start header naming nothing.
    ASSERT_TRUE(archtest::Run("python3 -c " + Quote("import struct,zlib,sys;"
                                          "h=struct.pack('<QQI',0,0,0);"
                                          "open(sys.argv[1],'wb').write(b'7z\\xbc\\xaf\\x27\\x1c\\x00\\x04'"
                                          "+struct.pack('<I',zlib.crc32(h))+h)") +
                    " " + Quote(box / "empty.7z")));
    fs::create_directories(box / "src/only-folder");
    Make7zArchive(box / "folder.7z", box / "src", "-t7z");
    for (const char* name : {"empty.zip", "empty.7z"}) {
        I7zReaderPtr reader = OpenReader(box / name);
        EXPECT_EQ(reader->ItemCount(), 0u) << name;
        reader->ExtractAllToFolder(box / "dest");
    }
    I7zReaderPtr reader = OpenReader(box / "folder.7z");
    EXPECT_EQ(reader->ItemCount(), 1u);
    reader->ExtractAllToFolder(box / "dest");
    EXPECT_FALSE(fs::exists(box / "dest"));
}

TEST(NotArchives, PlainTextZeroBytesAndMissingFiles)
{
    TTempDir box;
    WriteFile(box / "text.7z", "This is a plain text file, not an archive.\n");
    WriteFile(box / "zero.7z", "");
    WriteFile(box / "text.zip", "PK but not really\n");
    for (const char* name : {"text.7z", "zero.7z", "text.zip"}) {
        TGUID id{};
        FormatIdForExtension(fs::path(name).extension().string(), id);
        I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
        EXPECT_EQ(ErrorOf([&] { reader->OpenArchiveFile(box / name); }),
                  "The file is not an archive of the expected format, or it is damaged (0x00000001)")
            << name;
    }
    I7zReaderPtr reader = CreateArchiveReader(CLSID_Format7z, LibraryPath());
    EXPECT_EQ(ErrorOf([&] { reader->OpenArchiveFile(box / "missing.7z"); }), "Cannot open file " + box / "missing.7z");
    EXPECT_EQ(ErrorOf([&] { reader->OpenArchiveFile(box.Path()); }), "Cannot open file " + box.Path());
}

// Damaged copies of good archives: whatever the damage, an error or the right files,
// never a crash, never a wrong file reported as success.
class DamagedArchives : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Dir = new TTempDir();
        MakeSampleTree(*Dir / "src/");
        Make7zArchive(*Dir / "good.7z", *Dir / "src", "-t7z -m0=lzma2 -ms=on");
        Make7zArchive(*Dir / "good.zip", *Dir / "src", "-tzip -mx=0");
        Original = new std::map<std::string, std::string>(ReadTree(*Dir / "src"));
    }
    static void TearDownTestSuite()
    {
        delete Dir;
        delete Original;
    }
    // The outcome is an error, or success with the original contents (a flipped name
    // byte may rename a file; that is the archive's own word).
    static void ExpectErrorOrIntact(const std::string& archive, bool mustFail)
    {
        TTempDir box;
        const std::string copy = box / fs::path(archive).filename().string();
        fs::copy_file(archive, copy);
        std::string error;
        try {
            OpenReader(copy)->ExtractAllToFolder(box / "dest");
        } catch (const EArchiveError& e) {
            error = e.what();
            EXPECT_FALSE(error.empty());
        }
        if (error.empty()) {
            EXPECT_EQ(Contents(ReadTree(box / "dest")), Contents(*Original));
        }
        if (mustFail) {
            EXPECT_NE(error, "");
        }
        for (const auto& e : ListEntries(box.Path()))
            EXPECT_TRUE(StartsWith(e, "dest") || box / e == copy) << e;
    }
    static std::multiset<std::string> Contents(const std::map<std::string, std::string>& tree)
    {
        std::multiset<std::string> out;
        for (const auto& [name, data] : tree)
            out.insert(data);
        return out;
    }
    static TTempDir* Dir;
    static std::map<std::string, std::string>* Original;
};
TTempDir* DamagedArchives::Dir = nullptr;
std::map<std::string, std::string>* DamagedArchives::Original = nullptr;

TEST_F(DamagedArchives, FlippedBytesInDataFailNamingTheItem)
{
    // Stored zip: the atlas's bytes lie in the file as they are; damage one of them.
    const std::string zip = *Dir / "flip-data.zip";
    fs::copy_file(*Dir / "good.zip", zip);
    const std::string content = ReadFile(zip);
    const auto at = content.find(ReadFile(*Dir / "src/res/gui/flash/atlas.dds").substr(1000, 64));
    ASSERT_NE(at, std::string::npos);
    FlipByte(zip, static_cast<int64_t>(at));

    TTempDir box;
    const std::string dest = box / "dest/";
    WriteFile(dest + "res/gui/flash/atlas.dds", "the earlier good file");
    I7zReaderPtr reader = OpenReader(zip);
    const std::string error = ErrorOf([&] { reader->ExtractAllToFolder(dest); });
    EXPECT_EQ(error, "Cannot extract res/gui/flash/atlas.dds: CRC error");
    EXPECT_EQ(ReadFile(dest + "res/gui/flash/atlas.dds"), "the earlier good file");
    for (const auto& e : ListEntries(dest))
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;

    const std::string sevenZip = *Dir / "flip-data.7z";
    fs::copy_file(*Dir / "good.7z", sevenZip);
    FlipByte(sevenZip, 200);
    ExpectErrorOrIntact(sevenZip, true);
}

TEST_F(DamagedArchives, FlippedHeadersAndTruncation)
{
    const int64_t offsets[] = {0, 7, 12, 20, -1, -10, -30, -60};
    for (const char* name : {"good.7z", "good.zip"}) {
        for (int64_t off : offsets) {
            SCOPED_TRACE(std::string(name) + " flip at " + std::to_string(off));
            const std::string copy = *Dir / ("flip-" + std::to_string(off) + "-" + name);
            fs::copy_file(*Dir / name, copy, fs::copy_options::overwrite_existing);
            FlipByte(copy, off);
            ExpectErrorOrIntact(copy, false);
        }
        const std::string content = ReadFile(*Dir / name);
        // Cut inside the headers or the data: an error. The last byte only: an error or
        // the right files (a zip's end record may still be found).
        for (const std::string& cut : {*Dir / ("cut-short-" + std::string(name)), *Dir / ("cut-half-" + std::string(name))}) {
            WriteFile(cut, content.substr(0, cut.find("short") != std::string::npos ? 32 : content.size() / 2));
            TGUID id{};
            FormatIdForExtension(fs::path(name).extension().string(), id);
            I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
            TTempDir box;
            EXPECT_NE(ErrorOf([&] {
                reader->OpenArchiveFile(cut);
                reader->ExtractAllToFolder(box / "dest");
            }), "<no error>") << cut;
        }
        const std::string last = *Dir / ("cut-last-" + std::string(name));
        WriteFile(last, content.substr(0, content.size() - 1));
        ExpectErrorOrIntact(last, false);
    }
}

TEST(Encrypted, NoPasswordFailsAndAGivenOneWorks)
{
    TTempDir box;
    WriteFile(box / "src/secret.txt", std::string(5000, 's'));
    Make7zArchive(box / "data.7z", box / "src", "-t7z -pSecret");
    Make7zArchive(box / "headers.7z", box / "src", "-t7z -pSecret -mhe=on");

    I7zReaderPtr reader = OpenReader(box / "data.7z");
    EXPECT_EQ(reader->ItemCount(), 1u);
    const std::string error = ErrorOf([&] { reader->ExtractAllToFolder(box / "dest"); });
    EXPECT_TRUE(StartsWith(error, "Cannot extract secret.txt: ")) << error;
    EXPECT_FALSE(fs::exists(box / "dest/secret.txt"));

    TGUID id = CLSID_Format7z;
    I7zReaderPtr headers = CreateArchiveReader(id, LibraryPath());
    EXPECT_NE(ErrorOf([&] { headers->OpenArchiveFile(box / "headers.7z"); }), "<no error>");

    reader->SetPasswordText(L"Secret");
    reader->ExtractAllToFolder(box / "dest");
    EXPECT_EQ(ReadFile(box / "dest/secret.txt"), std::string(5000, 's'));

    // A password source is asked once; its answer is remembered until CloseArchive.
    struct TAsk {
        int Calls = 0;
    } ask;
    I7zReaderPtr sourced = CreateArchiveReader(id, LibraryPath());
    sourced->SetPasswordSource(&ask, [](void* sender, std::wstring& password) -> int32_t {
        ++static_cast<TAsk*>(sender)->Calls;
        password = L"Secret";
        return 0;
    });
    sourced->OpenArchiveFile(box / "headers.7z");
    sourced->ExtractAllToFolder(box / "dest2");
    EXPECT_EQ(ReadFile(box / "dest2/secret.txt"), std::string(5000, 's'));
    EXPECT_EQ(ask.Calls, 1);
}
