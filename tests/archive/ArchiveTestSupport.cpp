#include "ArchiveTestSupport.h"

#include "archive/ArchiveInterfaces.h"
#include "archive/EArchiveError.h"
#include "tests/support/ErrorOf.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace archtest {

int TProgressLog::Note(bool isTotal, uint64_t value)
{
    const int call = Calls++;
    if (isTotal) {
        Total = value;
    } else {
        if (value < Last)
            Decreased = true;
        Last = value;
    }
    return call;
}

int32_t TProgressLog::Answer(int call) const
{
    return StopAfter >= 0 && call >= StopAfter ? kE_ABORT : 0;
}

std::string ErrorOf(const std::function<void()>& f)
{
    return ::ErrorOf<EArchiveError>(f);
}

TTempDir::TTempDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/setup-archive-XXXXXX";
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    Dir = templ + "/";
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    fs::remove_all(Dir, ec);
}

std::string LibraryPath() { return SETUP_TEST_7Z_LIBRARY; }

std::string FakeLibraryPath(const char* which)
{
    return std::string(SETUP_TEST_FAKE_LIB_DIR) + "/libarchive_fake_" + which + ".so";
}

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s)
{
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r += c;
    }
    return r + "'";
}

void WriteFile(const std::string& path, const std::string& data)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> ReadTree(const std::string& root)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(root))
        return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file() && !e.is_symlink())
            files[fs::relative(e.path(), root).string()] = ReadFile(e.path().string());
    }
    return files;
}

std::vector<std::string> ListEntries(const std::string& root)
{
    std::vector<std::string> out;
    if (!fs::exists(root))
        return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

void MakeSampleTree(const std::string& root)
{
    std::mt19937 rng(42);
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "<item id=\"" + std::to_string(i) + "\"><name>crosshair</name></item>\n";
    std::string noise(300000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    WriteFile(root + "res/gui/settings.xml", text);
    WriteFile(root + "res/gui/flash/atlas.dds", noise);
    WriteFile(root + "res/gui/flash/deep/deeper/small.txt", "small\n");
    WriteFile(root + "res/empty.bin", "");
    WriteFile(root + "res/\xd0\xbf\xd1\x80\xd0\xb8\xd1\x86\xd0\xb5\xd0\xbb.txt", "non-ascii name\n");
    WriteFile(root + "readme.txt", "top level\n");
    fs::create_directories(root + "res/empty-folder");
}

void Make7zArchive(const std::string& archive, const std::string& srcDir, const std::string& switches)
{
    if (!Run("cd " + Quote(srcDir) + " && 7z a -bd " + switches + " " + Quote(archive) + " ."))
        throw std::runtime_error("7z a failed for " + archive);
}

std::map<std::string, std::string> CliExtract(const std::string& archive, const std::string& scratch)
{
    static int n = 0;
    const std::string out = scratch + "cli-" + std::to_string(++n) + "/";
    if (!Run("7z x -bd -y -o" + Quote(out) + " " + Quote(archive)))
        throw std::runtime_error("7z x failed for " + archive);
    return ReadTree(out);
}

void CraftZip(const std::string& kind, const std::string& out)
{
    if (!Run("python3 " + Quote(SETUP_TEST_CRAFT_ZIP) + " " + kind + " " + Quote(out)))
        throw std::runtime_error("craft_zip.py failed for " + kind);
}

void FlipByte(const std::string& path, int64_t offset)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(0, std::ios::end);
    const int64_t size = f.tellg();
    const int64_t at = offset < 0 ? size + offset : offset;
    f.seekg(at);
    char c = 0;
    f.read(&c, 1);
    c = static_cast<char>(c ^ 0x5A);
    f.seekp(at);
    f.write(&c, 1);
}

bool IsMapped(const std::string& path)
{
    return ReadFile("/proc/self/maps").find(fs::canonical(path).string()) != std::string::npos;
}

bool IsOpenHere(const std::string& path)
{
    const std::string target = fs::canonical(path).string();
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec).string() == target)
            return true;
    }
    return false;
}

int OpenCountHere(const std::string& path)
{
    const std::string target = fs::canonical(path).string();
    int count = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec).string() == target)
            ++count;
    }
    return count;
}

uint32_t TMemoryStream::Read(void* data, uint32_t size)
{
    const uint64_t n = Pos >= Data.size() ? 0 : std::min<uint64_t>(size, Data.size() - Pos);
    std::memcpy(data, Data.data() + Pos, n);
    Pos += n;
    return static_cast<uint32_t>(n);
}

void TMemoryStream::Write(const void* data, uint32_t size)
{
    if (Pos + size > Data.size())
        Data.resize(Pos + size);
    std::memcpy(Data.data() + Pos, data, size);
    Pos += size;
}

uint64_t TMemoryStream::Seek(int64_t offset, uint32_t origin)
{
    const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(Pos) : static_cast<int64_t>(Data.size());
    if (base + offset < 0)
        throw std::runtime_error("seek before start");
    Pos = static_cast<uint64_t>(base + offset);
    return Pos;
}

}  // namespace archtest
