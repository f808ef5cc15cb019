// The portable file's payload and the cache it is unpacked into: damaged and hostile
// payloads, caches other users can write to, reuse, repair, clean-up and racing starts.
#include "launcher/TPayloadCache.h"
#include "launcher/TPayloadTrailer.h"
#include "launcher/TPayloadUnpacker.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct TEntry {
    char Kind;
    std::string Name;
    std::string Data;
    uint32_t Mode = 0644;
};

void PutLe(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A file laid out as the packer lays out the portable one: a head, the zstd stream, the trailer.
std::string MakePortable(const std::vector<TEntry>& entries, uint8_t hashSeed = 1)
{
    std::string stream;
    for (const auto& e : entries) {
        stream += e.Kind;
        PutLe(stream, e.Mode, 4);
        PutLe(stream, e.Name.size(), 4);
        PutLe(stream, e.Data.size(), 8);
        stream += e.Name + e.Data;
    }
    stream += 'E';
    PutLe(stream, 0, 4);
    PutLe(stream, 0, 4);
    PutLe(stream, 0, 8);
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    std::string packed(ZSTD_compressBound(stream.size()), '\0');
    packed.resize(ZSTD_compress2(c, packed.data(), packed.size(), stream.data(), stream.size()));
    ZSTD_freeCCtx(c);
    const std::string head = "\x7f" "ELF launcher stands here";
    std::string file = head + packed + TPayloadTrailer::Magic;
    PutLe(file, head.size(), 8);
    PutLe(file, packed.size(), 8);
    PutLe(file, stream.size(), 8);
    file += std::string(32, char(hashSeed));
    return file;
}

class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/payload-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        FDir = tmpl;
    }
    void TearDown() override
    {
        fs::permissions(FDir, fs::perms::owner_all);
        fs::remove_all(FDir);
    }

    // Writes the file, reads its trailer; the descriptor stays open for the test.
    int Open(const std::string& bytes, TPayloadTrailer& trailer, const std::string& name = "Setup")
    {
        std::ofstream(FDir / name, std::ios::binary) << bytes;
        const int fd = ::open((FDir / name).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_TRUE(trailer.Read(fd));
        return fd;
    }

    std::vector<TEntry> Sample() const
    {
        return {{'D', "lib", ""}, {'F', "Setup", "program", 0755}, {'F', "lib/libQt.so.6", std::string(300000, 'q')},
                {'F', "plugins/platforms/libqxcb.so", "plugin"}, {'F', "qt.conf", "[Paths]\n"}};
    }

    fs::path FDir;
};
}  // namespace

TEST_F(PayloadTest, UnpacksOnceIntoThePrivateCacheAndRepairsWhatWasDamaged)
{
    TPayloadTrailer trailer;
    const int fd = Open(MakePortable(Sample()), trailer);
    TPayloadCache cache((FDir / "cache/Setup").string());
    const std::string folder = cache.Prepare(fd, trailer);
    ASSERT_EQ(folder, (FDir / "cache/Setup" / trailer.FolderName()).string()) << cache.Error();
    EXPECT_EQ(ReadAll(fs::path(folder) / "Setup"), "program");
    EXPECT_EQ(ReadAll(fs::path(folder) / "lib/libQt.so.6"), std::string(300000, 'q'));
    EXPECT_EQ(ReadAll(fs::path(folder) / "plugins/platforms/libqxcb.so"), "plugin");
    EXPECT_TRUE(::access((fs::path(folder) / "Setup").c_str(), X_OK) == 0);
    EXPECT_EQ(fs::status(FDir / "cache/Setup").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(FDir / "cache/Setup"), fs::directory_iterator()), 1);

    // A later start reuses the folder as it is.
    struct stat before {}, after {};
    ::stat((fs::path(folder) / "lib/libQt.so.6").c_str(), &before);
    EXPECT_EQ(cache.Prepare(fd, trailer), folder);
    ::stat((fs::path(folder) / "lib/libQt.so.6").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // A file cut short (a full disk, a cleaner) is noticed and the folder unpacked anew.
    fs::resize_file(fs::path(folder) / "lib/libQt.so.6", 10);
    EXPECT_EQ(cache.Prepare(fd, trailer), folder);
    EXPECT_EQ(ReadAll(fs::path(folder) / "lib/libQt.so.6"), std::string(300000, 'q'));
    ::close(fd);
}

TEST_F(PayloadTest, DamagedOrHostilePayloadsWriteNothingOutsideAndLeaveNoFolder)
{
    std::string good = MakePortable(Sample());
    std::string flipped = good;
    flipped[good.size() - TPayloadTrailer::Size - 40] ^= 0x55;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a flipped byte", flipped},
        {"a parent step", MakePortable({{'F', "../escaped", "x"}})},
        {"a parent step inside", MakePortable({{'F', "lib/../../escaped", "x"}})},
        {"an absolute name", MakePortable({{'F', (FDir / "escaped").string(), "x"}})},
        {"an unknown kind", MakePortable({{'L', "link", "/etc/passwd"}})},
        {"an empty part", MakePortable({{'F', "lib//x", "x"}})},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        TPayloadTrailer trailer;
        const int fd = Open(bytes, trailer);
        TPayloadCache cache((FDir / "cache/Setup").string());
        EXPECT_EQ(cache.Prepare(fd, trailer), "");
        EXPECT_FALSE(cache.Error().empty());
        ::close(fd);
        EXPECT_FALSE(fs::exists(FDir / "escaped"));
        EXPECT_FALSE(fs::exists(FDir / "cache/escaped"));
        EXPECT_TRUE(fs::is_empty(FDir / "cache/Setup"));
    }
    // A file cut anywhere has no trailer to trust.
    TPayloadTrailer trailer;
    std::ofstream(FDir / "cut", std::ios::binary) << good.substr(0, good.size() - 1);
    const int fd = ::open((FDir / "cut").c_str(), O_RDONLY);
    EXPECT_FALSE(trailer.Read(fd));
    ::close(fd);
}

TEST_F(PayloadTest, ACacheAnotherUserCanWriteToIsNeverUsed)
{
    TPayloadTrailer trailer;
    const int fd = Open(MakePortable(Sample()), trailer);
    fs::create_directories(FDir / "shared/Setup");
    fs::permissions(FDir / "shared", fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    TPayloadCache cache((FDir / "shared/Setup").string());
    EXPECT_EQ(cache.Prepare(fd, trailer), "");
    EXPECT_NE(cache.Error().find("another user"), std::string::npos) << cache.Error();
    EXPECT_TRUE(fs::is_empty(FDir / "shared/Setup"));
    // ... unless it is sticky, as /tmp is: then nobody else can rename our folders.
    fs::permissions(FDir / "shared", fs::perms::sticky_bit, fs::perm_options::add);
    EXPECT_NE(cache.Prepare(fd, trailer), "") << cache.Error();
    // A link in the place of the cache folder is not followed.
    fs::create_directories(FDir / "elsewhere");
    fs::create_directory_symlink(FDir / "elsewhere", FDir / "linked");
    EXPECT_FALSE(TPayloadCache::Trusted((FDir / "linked").string()));
    ::close(fd);
}

TEST_F(PayloadTest, OldPayloadFoldersAreRemovedAfterANewOneIsUnpacked)
{
    const fs::path root = FDir / "cache/Setup";
    const std::string oldHash(32, 'a'), recentHash(32, 'b');
    for (const auto& h : {oldHash, recentHash}) {
        fs::create_directories(root / h);
        std::ofstream(root / h / TPayloadCache::ManifestName) << h << "\n";
    }
    fs::create_directories(root / ("." + oldHash + ".Xy12Ab"));  // an unpack cut short
    fs::create_directories(root / "unrelated");
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    fs::last_write_time(root / oldHash / TPayloadCache::ManifestName, longAgo);
    fs::last_write_time(root / ("." + oldHash + ".Xy12Ab"), longAgo);

    TPayloadTrailer trailer;
    const int fd = Open(MakePortable(Sample()), trailer);
    TPayloadCache cache(root.string());
    ASSERT_NE(cache.Prepare(fd, trailer), "") << cache.Error();
    EXPECT_FALSE(fs::exists(root / oldHash));
    EXPECT_FALSE(fs::exists(root / ("." + oldHash + ".Xy12Ab")));
    EXPECT_TRUE(fs::exists(root / recentHash));
    EXPECT_TRUE(fs::exists(root / "unrelated"));
    ::close(fd);
}

TEST_F(PayloadTest, StartsRacingForTheFirstUnpackAllGetAWholeFolder)
{
    TPayloadTrailer trailer;
    const int fd = Open(MakePortable(Sample()), trailer);
    const std::string root = (FDir / "cache/Setup").string();
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TPayloadCache cache(root);
            const std::string folder = cache.Prepare(fd, trailer);
            std::_Exit(folder.empty() || ReadAll(fs::path(folder) / "lib/libQt.so.6").size() != 300000 ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // One folder, no unpack left half-way.
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
    ::close(fd);
}

#ifdef SETUP_PORTABLE_FILE
// The real portable file where the cache cannot be trusted: it runs from a private folder of
// its own and removes that folder when the program ends.
TEST_F(PayloadTest, ThePortableFileRunsFromATemporaryFolderWhereTheCacheIsShared)
{
    if (!fs::exists(SETUP_PORTABLE_FILE))
        GTEST_SKIP() << "build the portable target first";
    fs::copy_file(SETUP_PORTABLE_FILE, FDir / "Setup");
    fs::create_directories(FDir / "shared");
    fs::create_directories(FDir / "tmp");
    fs::permissions(FDir / "shared", fs::perms::all);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_CACHE_HOME", (FDir / "shared").c_str(), 1);
        ::setenv("TMPDIR", (FDir / "tmp").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl((FDir / "Setup").c_str(), "Setup", nullptr);
        std::_Exit(127);
    }
    bool running = false;
    for (int i = 0; i < 200 && !running; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& e : fs::directory_iterator(FDir / "tmp"))
            running = running || fs::exists(e.path() / ".payload");
    }
    EXPECT_TRUE(running);
    EXPECT_TRUE(fs::is_empty(FDir / "shared"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    for (const auto& e : fs::directory_iterator(FDir / "tmp"))
        EXPECT_NE(e.path().filename().string().rfind("Setup.", 0), 0u) << e.path() << " was left behind";
}
#endif
