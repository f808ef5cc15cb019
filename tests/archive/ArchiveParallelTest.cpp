// Extraction to a folder with the files written on a thread of their own and non-solid
// archives read by two readers at once: the same files as `7z x`, failures reported for
// the first failing item with nothing after it written, one progress sink, and files
// already in place kept when they hold the same bytes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <thread>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveBinding.h"
#include "archive/TItemWriter.h"
#include "archive/TLzma2Blocks.h"
#include "archive/WideText.h"
#include "platform/SystemInfo.h"
#include "platform/TFileStream.h"

using namespace archtest;
namespace fs = std::filesystem;

namespace {

I7zReaderPtr OpenReader(const std::string& archive)
{
    TGUID id{};
    EXPECT_TRUE(FormatIdForExtension(fs::path(archive).extension().string(), id));
    I7zReaderPtr reader = CreateArchiveReader(id, LibraryPath());
    reader->OpenArchiveFile(archive);
    return reader;
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

void ExpectNoTemporaryFiles(const std::string& root)
{
    for (const auto& e : ListEntries(root))
        EXPECT_EQ(e.find(".setup-"), std::string::npos) << e;
}

// What the sink saw: calls must never overlap, and the archive's open descriptors tell
// how many readers were at work.
struct TSinkLog : TProgressLog {
    std::string Archive;
    std::atomic<bool> InCall{false};
    std::atomic<bool> Overlapped{false};
    std::atomic<int> MostOpen{0};
};

int32_t Record(void* sender, bool isTotal, uint64_t value)
{
    auto* log = static_cast<TSinkLog*>(sender);
    if (log->InCall.exchange(true))
        log->Overlapped = true;
    const int call = log->Note(isTotal, value);
    log->MostOpen = std::max(log->MostOpen.load(), OpenCountHere(log->Archive));
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // widens any overlap
    log->InCall = false;
    return log->Answer(call);
}

// 80 files of 20 to 60 KB, half of them incompressible: enough for a second reader.
class ParallelExtraction : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Dir = new TTempDir();
        std::mt19937_64 rng(5);
        for (int i = 0; i < 80; ++i) {
            std::string data(20000 + rng() % 40000, '\0');
            for (char& c : data)
                c = i % 2 ? static_cast<char>(rng()) : "abcdefgh"[rng() % 8];
            WriteFile(*Dir / ("src/d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".bin"), data);
        }
        Make7zArchive(*Dir / "big.zip", *Dir / "src", "-tzip -mx=1");
        Make7zArchive(*Dir / "stored.zip", *Dir / "src", "-tzip -mx=0");
        Make7zArchive(*Dir / "nonsolid.7z", *Dir / "src", "-t7z -ms=off -mx=1");
        Make7zArchive(*Dir / "solid.7z", *Dir / "src", "-t7z -ms=on -mx=1");
        Source = new std::map<std::string, std::string>(ReadTree(*Dir / "src"));
    }
    static void TearDownTestSuite()
    {
        delete Dir;
        delete Source;
    }
    static uint64_t SourceBytes()
    {
        uint64_t n = 0;
        for (const auto& [name, data] : *Source)
            n += data.size();
        return n;
    }
    // Every file present is whole: a stopped extraction leaves no partial file.
    static void ExpectOnlyWholeFiles(const std::string& dest)
    {
        for (const auto& [name, data] : ReadTree(dest))
            EXPECT_EQ(data, Source->at(name)) << name;
        ExpectNoTemporaryFiles(dest);
    }
    static TTempDir* Dir;
    static std::map<std::string, std::string>* Source;
    TTempDir Out;
};
TTempDir* ParallelExtraction::Dir = nullptr;
std::map<std::string, std::string>* ParallelExtraction::Source = nullptr;

}  // namespace

TEST_F(ParallelExtraction, NonSolidArchivesUseTwoReadersSolidOne)
{
    const int two = ProcessorCount() >= 2 ? 2 : 1;
    for (const auto& [name, readers] : {std::pair{"big.zip", two}, {"nonsolid.7z", two}, {"solid.7z", 1}}) {
        SCOPED_TRACE(name);
        TSinkLog log;
        log.Archive = *Dir / name;
        std::atomic<int> writes{0};
        I7zReaderPtr reader = OpenReader(*Dir / name);
        reader->SetProgressSink(&log, Record);
        reader->SetWriteObserver(&writes, [](void* s) { ++*static_cast<std::atomic<int>*>(s); });
        const std::string dest = Out / name;
        reader->ExtractAllToFolder(dest);
        EXPECT_EQ(ReadTree(dest), *Source);
        EXPECT_EQ(log.MostOpen.load(), readers);
        EXPECT_FALSE(log.Overlapped.load());
        EXPECT_FALSE(log.Decreased.load());
        EXPECT_EQ(log.Total.load(), SourceBytes());
        EXPECT_LE(log.Last.load(), log.Total.load());
        EXPECT_GT(writes.load(), 0);
        ExpectNoTemporaryFiles(dest);
        // The reader works on as before: the second reader has let go of the file.
        reader->CloseArchive();
        EXPECT_FALSE(IsOpenHere(*Dir / name));
    }
}

TEST(TwoReaders, NotWhenTheSecondDecoderWouldNeedALargeDictionary)
{
    TTempDir box;
    std::string large;
    for (int line = 0; large.size() < (20u << 20); ++line)
        large += "<marker id=\"" + std::to_string(line) + "\"/>\n";
    WriteFile(box / "src/large.bin", large);
    for (int i = 0; i < 8; ++i)
        WriteFile(box / ("src/small" + std::to_string(i) + ".txt"), std::string(300000, char('a' + i)));
    Make7zArchive(box / "dict.7z", box / "src", "-t7z -ms=off -mx=1 -m0=lzma2:d=64m");
    TSinkLog log;
    log.Archive = box / "dict.7z";
    I7zReaderPtr reader = OpenReader(box / "dict.7z");
    reader->SetProgressSink(&log, Record);
    reader->ExtractAllToFolder(box / "dest");
    EXPECT_EQ(log.MostOpen.load(), 1);
    EXPECT_EQ(ReadFile(box / "dest/large.bin"), large);
}

TEST_F(ParallelExtraction, TheFirstFailingItemIsReportedAndNothingAfterItIsWritten)
{
    // Solid: one reader, the writer behind the decoder. The item in the middle cannot be
    // replaced; the items before it are written, none after it.
    I7zReaderPtr reader = OpenReader(*Dir / "solid.7z");
    std::vector<std::string> order;
    for (uint32_t i = 0; i < reader->ItemCount(); ++i)
        if (!reader->ItemIsFolder(i))
            order.push_back(WideToSystem(reader->ItemPath(i)));
    ASSERT_EQ(order.size(), 80u);
    const std::string dest = Out / "solid/";
    const std::string blocked = order[40];
    WriteFile(dest + blocked, "protected");
    fs::permissions(dest + blocked, fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(dest); }), "Cannot create file " + dest + blocked);
    EXPECT_EQ(ReadFile(dest + blocked), "protected");
    for (size_t i = 0; i < order.size(); ++i) {
        if (i < 40) {
            EXPECT_EQ(ReadFile(dest + order[i]), Source->at(order[i])) << order[i];
        } else if (i > 40) {
            EXPECT_FALSE(fs::exists(dest + order[i])) << order[i];
        }
    }
    ExpectNoTemporaryFiles(dest);

    // Two readers: the failure stops both halves with its own text; what they wrote is whole.
    const std::string zipDest = Out / "zip/";
    WriteFile(zipDest + blocked, "protected");
    fs::permissions(zipDest + blocked, fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] { OpenReader(*Dir / "big.zip")->ExtractAllToFolder(zipDest); }),
              "Cannot create file " + zipDest + blocked);
    EXPECT_EQ(ReadFile(zipDest + blocked), "protected");
    fs::remove(zipDest + blocked);
    ExpectOnlyWholeFiles(zipDest);
}

TEST_F(ParallelExtraction, ASinkStopOrADamagedItemStopsBothHalves)
{
    TSinkLog log;
    log.Archive = *Dir / "big.zip";
    log.StopAfter = 3;
    I7zReaderPtr reader = OpenReader(*Dir / "big.zip");
    reader->SetProgressSink(&log, Record);
    const std::string stopped = Out / "stopped/";
    EXPECT_EQ(ErrorOf([&] { reader->ExtractAllToFolder(stopped); }), "Operation aborted (0x80004004)");
    EXPECT_LT(ReadTree(stopped).size(), Source->size());
    ExpectOnlyWholeFiles(stopped);

    // A stored zip keeps the bytes as they are: damage one file's data.
    const std::string zip = Out / "damaged.zip";
    fs::copy_file(*Dir / "stored.zip", zip);
    const std::string victim = "d3/f7.bin";
    const auto at = ReadFile(zip).find(Source->at(victim).substr(1000, 64));
    ASSERT_NE(at, std::string::npos);
    FlipByte(zip, static_cast<int64_t>(at));
    const std::string dest = Out / "damaged/";
    WriteFile(dest + victim, "the earlier good file");
    EXPECT_EQ(ErrorOf([&] { OpenReader(zip)->ExtractAllToFolder(dest); }), "Cannot extract " + victim + ": CRC error");
    EXPECT_EQ(ReadFile(dest + victim), "the earlier good file");
    fs::remove(dest + victim);
    ExpectOnlyWholeFiles(dest);
}

TEST(OrderedFailures, ClashingNamesKeepTheArchiveOrderAndAnEarlierFailureComesFirst)
{
    TTempDir box;
    for (const char* kind : {"big-dup", "big-case"}) {
        SCOPED_TRACE(kind);
        const std::string zip = box / (std::string(kind) + ".zip");
        CraftZip(kind, zip);
        TSinkLog log;
        log.Archive = zip;
        I7zReaderPtr reader = OpenReader(zip);
        reader->SetProgressSink(&log, Record);
        const std::string dest = box / kind;
        reader->ExtractAllToFolder(dest);
        EXPECT_EQ(log.MostOpen.load(), 1);  // names that meet keep one reader
        const auto tree = ReadTree(dest);
        if (std::string(kind) == "big-dup") {
            EXPECT_EQ(tree.at("dup.txt"), "second");
        } else {
            EXPECT_EQ(tree.at("dup.txt"), "first");
            EXPECT_EQ(tree.at("DUP.txt"), "second");
        }
    }

    // The path leading out comes after b.txt, which cannot be replaced: b.txt is reported.
    CraftZip("ordered-failures", box / "ordered.zip");
    const std::string dest = box / "ordered/";
    WriteFile(dest + "b.txt", "kept");
    fs::permissions(dest + "b.txt", fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] { OpenReader(box / "ordered.zip")->ExtractAllToFolder(dest); }),
              "Cannot create file " + dest + "b.txt");
    EXPECT_EQ(ReadFile(dest + "a.txt"), "a");
    fs::permissions(dest + "b.txt", fs::perms::owner_all);
    EXPECT_EQ(ErrorOf([&] { OpenReader(box / "ordered.zip")->ExtractAllToFolder(dest); }).rfind(
                  "Item path leads out of the destination folder: ", 0),
              0u);
    EXPECT_EQ(ReadFile(dest + "b.txt"), "b");
    ExpectNoTemporaryFiles(box.Path());
}

TEST_F(ParallelExtraction, FilesHoldingTheSameBytesAreKeptOthersReplaced)
{
    const std::string dest = Out / "over/";
    OpenReader(*Dir / "solid.7z")->ExtractAllToFolder(dest);
    const std::string same = "d0/f0.bin", lastByte = "d1/f1.bin", longer = "d2/f2.bin", link = "d3/f3.bin";
    const ino_t sameInode = Inode(dest + same);
    std::string changed = Source->at(lastByte);
    changed.back() ^= 1;
    WriteFile(dest + lastByte, changed);
    WriteFile(dest + longer, Source->at(longer) + "tail");
    const std::string outside = Out / "outside.bin";
    WriteFile(outside, Source->at(link));
    fs::remove(dest + link);
    fs::create_symlink(outside, dest + link);

    for (const char* name : {"big.zip", "solid.7z"}) {
        SCOPED_TRACE(name);
        OpenReader(*Dir / name)->ExtractAllToFolder(dest);
        EXPECT_EQ(ReadTree(dest), *Source);
        EXPECT_EQ(Inode(dest + same), sameInode);  // neither rewritten nor renamed over
        EXPECT_FALSE(fs::is_symlink(dest + link));
        EXPECT_EQ(ReadFile(outside), Source->at(link));
        ExpectNoTemporaryFiles(dest);
    }
    // A read-only file is refused even when it holds the same bytes.
    fs::permissions(dest + same, fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] { OpenReader(*Dir / "solid.7z")->ExtractAllToFolder(dest); }),
              "Cannot create file " + dest + same);
}

TEST(ItemWriter, RunsTasksInOrderAndBoundsTheChunksInFlight)
{
    TItemWriter writer(16, 2);
    std::vector<int> seen;
    bool onWriter = true;
    for (int i = 0; i < 1000; ++i)
        writer.Post([&, i] {
            seen.push_back(i);
            onWriter = onWriter && TItemWriter::OnWriterThread();
        });
    writer.Drain();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(seen[i], i);
    EXPECT_TRUE(onWriter);
    EXPECT_FALSE(TItemWriter::OnWriterThread());

    TItemWriter::TChunkPtr a = writer.NewChunk(), b = writer.NewChunk();
    EXPECT_EQ(a->Capacity, 16u);
    std::atomic<bool> got{false};
    std::thread third([&] {
        TItemWriter::TChunkPtr c = writer.NewChunk();
        got = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(got.load());  // both chunks of the budget are out
    // A chunk comes back when its last holder, here a task, drops it.
    writer.Post([a] {});
    a.reset();
    third.join();
    EXPECT_TRUE(got.load());
}

namespace {
// A sanitizer's shadow memory and quarantine make resident memory say nothing.
#ifdef SETUP_SANITIZED
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

long PeakKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Peak resident memory from now on (the kernel's high-water mark, reset first).
long ResetPeakKb()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return PeakKb();
}
}  // namespace

// The library's multi-threaded LZMA2 decoder only pays for a stream cut into blocks: for
// one in a single piece it first fills a buffer of four dictionaries before writing. Such
// a stream is decoded on the calling thread, streaming, in about a dictionary of memory.
// The chunk walk that tells them apart stops on anything that is not a chunk chain.
TEST(DecoderThreads, OneBlockStreamsThroughADictionaryOfMemory)
{
    TTempDir dir;
    // Text that packs and noise that does not (stored chunks).
    std::mt19937_64 rng(11);
    for (int i = 0; i < 3; ++i) {
        std::string data(8u << 20, '\0');
        for (size_t k = 0; k + 8 <= data.size(); k += 8) {
            const uint64_t v = i == 0 ? 0x6e7567206b6e6174u + (k / 4096) : rng();
            std::memcpy(&data[k], &v, 8);
        }
        WriteFile(dir / ("src/f" + std::to_string(i) + ".bin"), data);
    }
    WriteFile(dir / "text/f0.bin", ReadFile(dir / "src/f0.bin"));
    // A 4 MiB dictionary: blocks of 16 MiB when the maker works on several threads.
    Make7zArchive(dir / "one.7z", dir / "src", "-t7z -ms=on -mx=1 -m0=lzma2:d=4m -mmt=1");
    Make7zArchive(dir / "blocks.7z", dir / "text", "-t7z -ms=on -mx=1 -m0=lzma2:d=1m -mmt=4");
    Make7zArchive(dir / "plain.zip", dir / "text", "-tzip -mx=1");
    using L = TLzma2Blocks::TLayout;
    auto scan = [](const std::string& path, uint64_t from, uint64_t end = ~uint64_t(0)) {
        std::unique_ptr<TFileStream> f = TFileStream::OpenRead(path);
        return TLzma2Blocks::Scan(*f, from, std::min(end, f->Size()));
    };
    EXPECT_EQ(scan(dir / "one.7z", 32), L::OneBlock);
    EXPECT_EQ(scan(dir / "blocks.7z", 32), L::SeveralBlocks);
    EXPECT_EQ(scan(dir / "plain.zip", 32), L::Unknown);
    EXPECT_EQ(scan(dir / "one.7z", 32, 40), L::OneBlock);  // what fits before the end
    WriteFile(dir / "empty", "");
    EXPECT_EQ(scan(dir / "empty", 0), L::Unknown);

    I7zReaderPtr reader = OpenReader(dir / "one.7z");
    const long before = ResetPeakKb();
    reader->ExtractAllToFolder(dir / "out");
    const long grown = PeakKb() - before;
    EXPECT_EQ(ReadTree(dir / "out"), ReadTree(dir / "src"));
    // About 9 MB on one thread; the buffering decoder takes about 17.
    if (kMemoryMeasurable) {
        EXPECT_LT(grown, 13 * 1024) << "KB";
    }
}

// A new file is written without a name and linked into place when good. When a file
// turns up at its destination meanwhile, the item still ends as the archive has it,
// through a temporary name and a rename, and nothing is left beside it.
TEST(NewFiles, LinkedIntoPlaceOrRenamedOverWhatTurnedUp)
{
    TTempDir dir;
    std::string data(300000, '\0');
    std::mt19937_64 rng(3);
    for (char& c : data)
        c = static_cast<char>(rng());
    WriteFile(dir / "src/sub/item.bin", data);
    WriteFile(dir / "src/other.txt", "other");
    Make7zArchive(dir / "a.7z", dir / "src", "-t7z -mx=1");
    for (bool intruder : {false, true}) {
        SCOPED_TRACE(intruder);
        const std::string out = dir / (intruder ? "out2" : "out1");
        struct TIntruder {
            std::string Path;
            bool Done = false;
        } in{out + "/sub/item.bin", !intruder};
        I7zReaderPtr reader = OpenReader(dir / "a.7z");
        reader->SetWriteObserver(&in, [](void* s) {
            auto* i = static_cast<TIntruder*>(s);
            if (!i->Done && fs::exists(fs::path(i->Path).parent_path())) {
                WriteFile(i->Path, "turned up");
                i->Done = true;
            }
        });
        reader->ExtractAllToFolder(out);
        EXPECT_EQ(ReadTree(out), ReadTree(dir / "src"));
        EXPECT_TRUE(in.Done);
        ExpectNoTemporaryFiles(out);
        // The usual mode of a new file under the umask, as a plain create gives it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st {};
        ASSERT_EQ(::stat((out + "/other.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    }
}
