// The binding against the real 7z.so: formats, loading, reading and extracting archives
// made by the 7z CLI, compared byte for byte with what `7z x` makes of them.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"
#include "archive/T7zStream.h"
#include "archive/WideText.h"
#include "platform/TFileStream.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

I7zReaderPtr ReaderFor(const std::string& archive, const std::string& lib = LibraryPath())
{
    TGUID id{};
    EXPECT_TRUE(FormatIdForExtension(fs::path(archive).extension().string(), id)) << archive;
    return CreateArchiveReader(id, lib);
}

// One sample tree, archived once per format, shared by the tests of this file.
class ArchiveBinding : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Dir = new TTempDir();
        MakeSampleTree(*Dir / "src/");
        Make7zArchive(*Dir / "solid.7z", *Dir / "src", "-t7z -m0=lzma2 -ms=on");
        Make7zArchive(*Dir / "nonsolid.7z", *Dir / "src", "-t7z -m0=lzma2 -ms=off");
        Make7zArchive(*Dir / "deflate.zip", *Dir / "src", "-tzip -mm=Deflate");
        Make7zArchive(*Dir / "stored.zip", *Dir / "src", "-tzip -mx=0");
    }
    static void TearDownTestSuite()
    {
        delete Dir;
        Dir = nullptr;
    }
    static TTempDir* Dir;
    TTempDir Out;
};
TTempDir* ArchiveBinding::Dir = nullptr;

}  // namespace

TEST(FormatIds, ExtensionsWithoutRegardToCase)
{
    TGUID id{};
    ASSERT_TRUE(FormatIdForExtension(".zip", id));
    EXPECT_EQ(id, CLSID_FormatZip);
    ASSERT_TRUE(FormatIdForExtension(".ZIP", id));
    EXPECT_EQ(id, CLSID_FormatZip);
    ASSERT_TRUE(FormatIdForExtension(".Zip", id));
    EXPECT_EQ(id, CLSID_FormatZip);
    ASSERT_TRUE(FormatIdForExtension(".7Z", id));
    EXPECT_EQ(id, CLSID_Format7z);
    ASSERT_TRUE(FormatIdForExtension(".rAr", id));
    EXPECT_EQ(id, CLSID_FormatRar);
    for (const char* other : {"", ".", "zip", ".tar", ".7z.001", ".zipx"})
        EXPECT_FALSE(FormatIdForExtension(other, id)) << other;
}

TEST(LoadErrors, TextsNameTheLibraryAndNothingStaysLoaded)
{
    EXPECT_EQ(ErrorOf([] { CreateArchiveReader(CLSID_Format7z, "/nonexistent/Setup.dll"); }),
              "Error loading library /nonexistent/Setup.dll");
    const std::string none = FakeLibraryPath("none");
    EXPECT_EQ(ErrorOf([&] { CreateArchiveReader(CLSID_Format7z, none); }), none + " is not a 7z library");
    const std::string create = FakeLibraryPath("create");
    EXPECT_EQ(ErrorOf([&] { CreateArchiveReader(CLSID_Format7z, create); }),
              create + " is not a Format library");
    const std::string layout = FakeLibraryPath("layout");
    EXPECT_EQ(ErrorOf([&] { CreateArchiveReader(CLSID_Format7z, layout); }).rfind(layout + " is not a 7z library", 0), 0u);
    for (const std::string& lib : {none, create, layout})
        EXPECT_FALSE(IsMapped(lib)) << lib;
}

TEST(LoadErrors, UnknownFormatIdFailsAtOpenNotAtLoad)
{
    TTempDir dir;
    WriteFile(dir / "x.7z", "not an archive");
    I7zReaderPtr reader = CreateArchiveReader(NullGuid, LibraryPath());
    EXPECT_EQ(reader->GetFormatId(), NullGuid);
    EXPECT_NE(ErrorOf([&] { reader->OpenArchiveFile(dir / "x.7z"); }), "<no error>");
}

TEST(ResultCodes, ReadableTexts)
{
    EXPECT_NO_THROW(CheckResult(0));
    EXPECT_THROW(CheckResult(1), EArchiveError);
    EXPECT_EQ(ResultCodeText(kE_ABORT), "Operation aborted (0x80004004)");
    EXPECT_EQ(ResultCodeText(kE_OUTOFMEMORY), "Not enough memory (0x8007000E)");
    EXPECT_NE(ResultCodeText(static_cast<THResult>(0x8007001Cu)).find("No space left"), std::string::npos);
    EXPECT_EQ(ResultCodeText(static_cast<THResult>(0x80FF0001u)), "Error 0x80FF0001");
}

TEST_F(ArchiveBinding, EveryFormatExtractsWhatTheCliExtracts)
{
    for (const char* name : {"solid.7z", "nonsolid.7z", "deflate.zip", "stored.zip"}) {
        SCOPED_TRACE(name);
        const std::string dest = Out / (std::string(name) + "-out");
        I7zReaderPtr reader = ReaderFor(*Dir / name);
        reader->OpenArchiveFile(*Dir / name);
        reader->ExtractAllToFolder(dest);
        reader->CloseArchive();
        const auto ours = ReadTree(dest);
        EXPECT_EQ(ours, CliExtract(*Dir / name, Out.Path()));
        EXPECT_EQ(ours.size(), 6u);
        // Folder items make nothing; no temporary file is left behind.
        EXPECT_FALSE(fs::exists(dest + "/res/empty-folder"));
        for (const auto& e : ListEntries(dest))
            EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
    }
}

TEST_F(ArchiveBinding, ItemPropertiesAndCount)
{
    I7zReaderPtr reader = ReaderFor(*Dir / "nonsolid.7z");
    reader->OpenArchiveFile(*Dir / "nonsolid.7z");
    const uint32_t count = reader->ItemCount();
    EXPECT_GE(count, 10u);  // files and folders
    bool sawAtlas = false, sawFolder = false;
    for (uint32_t i = 0; i < count; ++i) {
        const std::wstring path = reader->ItemPath(i);
        EXPECT_EQ(path.find(L'\\'), std::wstring::npos);
        if (path == L"res/gui/flash/atlas.dds") {
            sawAtlas = true;
            // The 7z handler has no name property of its own.
            const std::wstring name = reader->ItemName(i);
            EXPECT_TRUE(name.empty() || name == L"atlas.dds");
            EXPECT_EQ(reader->ItemSize(i), 300000u);
            EXPECT_FALSE(reader->ItemIsFolder(i));
        }
        if (path == L"res/empty-folder") {
            sawFolder = true;
            EXPECT_TRUE(reader->ItemIsFolder(i));
        }
    }
    EXPECT_TRUE(sawAtlas);
    EXPECT_TRUE(sawFolder);
    // No such item reads as empty, however far past the last one.
    for (uint32_t past : {count, count + 5, 0xFFFFFFFEu}) {
        EXPECT_EQ(reader->ItemPath(past), L"");
        EXPECT_EQ(reader->ItemSize(past), 0u);
        EXPECT_FALSE(reader->ItemIsFolder(past));
    }
}

TEST_F(ArchiveBinding, DestinationWithOrWithoutFinalDelimiterAndOverwrite)
{
    I7zReaderPtr reader = ReaderFor(*Dir / "deflate.zip");
    reader->OpenArchiveFile(*Dir / "deflate.zip");
    const std::string a = Out / "a", b = Out / "b/";
    WriteFile(a + "/readme.txt", "old content that is longer than the new one\n");
    WriteFile(a + "/unrelated.txt", "kept");
    reader->ExtractAllToFolder(a);
    reader->ExtractAllToFolder(b);
    auto treeA = ReadTree(a);
    EXPECT_EQ(treeA["readme.txt"], "top level\n");
    EXPECT_EQ(treeA["unrelated.txt"], "kept");
    treeA.erase("unrelated.txt");
    EXPECT_EQ(treeA, ReadTree(b));
}

TEST_F(ArchiveBinding, ReadOnlyDestinationFileFailsAndStays)
{
    const std::string dest = Out / "ro/";
    WriteFile(dest + "readme.txt", "protected");
    fs::permissions(dest + "readme.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    I7zReaderPtr reader = ReaderFor(*Dir / "stored.zip");
    reader->OpenArchiveFile(*Dir / "stored.zip");
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(dest); }), "Cannot create file " + dest + "readme.txt");
    EXPECT_EQ(ReadFile(dest + "readme.txt"), "protected");
    for (const auto& e : ListEntries(dest))
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
}

TEST_F(ArchiveBinding, UnwritableDestinationFolder)
{
    // A file where the destination folder should be.
    WriteFile(Out / "blocker", "x");
    I7zReaderPtr reader = ReaderFor(*Dir / "solid.7z");
    reader->OpenArchiveFile(*Dir / "solid.7z");
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(Out / "blocker/sub"); }).rfind("Cannot create file " + Out / "blocker/sub/", 0), 0u);
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(""); }), "No destination folder given");
}

namespace {
struct TSinkLog : TProgressLog {
    bool Throw = false;  // raise from the second call on
};

int32_t RecordProgress(void* sender, bool isTotal, uint64_t value)
{
    auto* log = static_cast<TSinkLog*>(sender);
    const int call = log->Note(isTotal, value);
    if (log->Throw && call >= 1)
        throw Exception("sink refused the value");
    return log->Answer(call);
}

void CountWrite(void* sender)
{
    ++*static_cast<std::atomic<int>*>(sender);
}
}  // namespace

TEST_F(ArchiveBinding, ProgressAndWritesReachTheSinks)
{
    for (const char* name : {"solid.7z", "deflate.zip"}) {
        SCOPED_TRACE(name);
        TSinkLog log;
        std::atomic<int> writes{0};
        I7zReaderPtr reader = ReaderFor(*Dir / name);
        reader->SetProgressSink(&log, RecordProgress);
        reader->SetWriteObserver(&writes, CountWrite);
        reader->OpenArchiveFile(*Dir / name);
        reader->ExtractAllToFolder(Out / name);
        EXPECT_GT(log.Total.load(), 0u);
        EXPECT_GT(log.Last.load(), 0u);
        EXPECT_LE(log.Last.load(), log.Total.load());
        EXPECT_FALSE(log.Decreased.load());
        EXPECT_GT(writes.load(), 0);
    }
}

TEST_F(ArchiveBinding, NonZeroSinkAnswerStopsTheExtraction)
{
    TSinkLog log;
    log.StopAfter = 1;
    I7zReaderPtr reader = ReaderFor(*Dir / "nonsolid.7z");
    reader->SetProgressSink(&log, RecordProgress);
    reader->OpenArchiveFile(*Dir / "nonsolid.7z");
    const std::string dest = Out / "stopped/";
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(dest); }), "Operation aborted (0x80004004)");
    EXPECT_LT(ReadTree(dest).size(), 6u);
    for (const auto& e : ListEntries(dest))
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
    // The reader is still usable.
    reader->SetProgressSink(nullptr, nullptr);
    reader->ExtractAllToFolder(dest);
    EXPECT_EQ(ReadTree(dest).size(), 6u);
}

TEST_F(ArchiveBinding, ExceptionInACallbackComesBackWithItsText)
{
    TSinkLog log;
    log.Throw = true;
    I7zReaderPtr reader = ReaderFor(*Dir / "solid.7z");
    reader->SetProgressSink(&log, RecordProgress);
    reader->OpenArchiveFile(*Dir / "solid.7z");
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(Out / "t"); }), "sink refused the value");
}

TEST_F(ArchiveBinding, DroppingTheReaderClosesTheArchiveAndUnloadsTheLibrary)
{
    const std::string lib = Out / "Setup.dll";
    fs::copy_file(LibraryPath(), lib);
    const std::string archive = *Dir / "solid.7z";
    {
        I7zReaderPtr first = ReaderFor(archive, lib);
        I7zReaderPtr second = ReaderFor(archive, lib);
        first->OpenArchiveFile(archive);
        EXPECT_TRUE(IsOpenHere(archive));
        first->ExtractAllToFolder(Out / "x");
        first.Reset();  // no CloseArchive
        EXPECT_FALSE(IsOpenHere(archive));
        EXPECT_TRUE(IsMapped(lib));  // the second load still holds it
        second->OpenArchiveFile(archive);
        EXPECT_GT(second->ItemCount(), 0u);
        // A closed reader lets go of the file and may open again.
        second->CloseArchive();
        EXPECT_FALSE(IsOpenHere(archive));
        second->OpenArchiveFile(archive);
        EXPECT_GT(second->ItemCount(), 0u);
    }
    EXPECT_FALSE(IsOpenHere(archive));
    EXPECT_FALSE(IsMapped(lib));
}

TEST_F(ArchiveBinding, StreamOperations)
{
    I7zReaderPtr reader = ReaderFor(*Dir / "solid.7z");
    auto file = TFileStream::OpenRead(*Dir / "solid.7z");
    ASSERT_TRUE(file);
    TComPtr<T7zStream> in(new T7zStream(file.release(), TStreamOwnership::Owned));
    reader->OpenArchiveStream(static_cast<IInStream*>(in.Get()));
    in.Reset();  // the library holds its own reference
    uint32_t atlas = UINT32_MAX;
    for (uint32_t i = 0; i < reader->ItemCount(); ++i)
        if (reader->ItemPath(i) == L"res/gui/settings.xml")
            atlas = i;
    ASSERT_NE(atlas, UINT32_MAX);
    TMemoryStream mem;
    reader->ExtractItemToStream(atlas, mem, false);
    EXPECT_EQ(mem.Data, ReadFile(*Dir / "src/res/gui/settings.xml"));
    TMemoryStream untouched;
    reader->ExtractItemToStream(atlas, untouched, true);
    EXPECT_TRUE(untouched.Data.empty());

    // Every item into a stream of the caller's.
    struct TSink {
        std::map<uint32_t, TMemoryStream> Streams;
    } sink;
    auto give = [](void* sender, uint32_t index, ISequentialOutStream** stream) -> int32_t {
        auto* s = static_cast<TSink*>(sender);
        auto* adapter = new T7zStream(&s->Streams[index], TStreamOwnership::Borrowed);
        adapter->AddRef();
        *stream = static_cast<ISequentialOutStream*>(adapter);
        return 0;
    };
    reader->ExtractEveryItem(false, &sink, give);
    EXPECT_EQ(sink.Streams[atlas].Data, mem.Data);
    const uint32_t list[] = {atlas};
    sink.Streams.clear();
    reader->ExtractItemList(list, 1, false, &sink, give);
    EXPECT_EQ(sink.Streams.at(atlas).Data, mem.Data);
}

TEST_F(ArchiveBinding, ExtractionOnAnotherThread)
{
    // The unpack worker drives the reader off the main thread.
    std::string error;
    std::thread t([&] {
        try {
            I7zReaderPtr reader = ReaderFor(*Dir / "solid.7z");
            reader->OpenArchiveFile(*Dir / "solid.7z");
            reader->ExtractAllToFolder(Out / "thread");
        } catch (const std::exception& e) {
            error = e.what();
        }
    });
    t.join();
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadTree(Out / "thread").size(), 6u);
}

TEST(WideText, RoundTrip)
{
    const std::string s = "res/\xd0\xbf\xd1\x80\xd0\xb8/\xf0\x9f\x8e\xaf.txt";
    EXPECT_EQ(WideToSystem(SystemToWide(s)), s);
    EXPECT_EQ(SystemToWide("\xff" "a"), L"\uFFFD" L"a");
    EXPECT_EQ(WideToSystem(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xef\xbf\xbd");
}
