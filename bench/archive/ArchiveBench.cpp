// Extraction throughput of the binding against the 7z CLI on the same archives, in the
// same run, through both archive libraries: the 7-Zip built here and Debian's.
// Usage: archive_bench [work folder]  (default: a folder under TMPDIR).
// Internally: archive_bench --extract <library> <archive> <folder> extracts once and exits.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "archive/ArchiveBinding.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
    double Seconds = 0;
    long PeakKb = 0;
};

std::string Quote(const std::string& s)
{
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

void Write(const fs::path& p, const std::string& data)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// About 2,000 files and 128 MB: XML and text that compress, textures that do not.
void MakeModTree(const fs::path& root)
{
    std::mt19937_64 rng(7);
    std::string xml;
    for (int i = 0; xml.size() < 40000; ++i)
        xml += "  <marker id=\"" + std::to_string(i) + "\" color=\"#" + std::to_string(rng() % 999999) +
               "\" alpha=\"0." + std::to_string(rng() % 100) + "\"/>\n";
    for (int i = 0; i < 1700; ++i)
        Write(root / ("res/gui/scaleform/" + std::to_string(i % 40) + "/part" + std::to_string(i) + ".xml"),
              "<root>\n" + xml.substr(0, 20000 + (rng() % 20000)) + "</root>\n");
    for (int i = 0; i < 300; ++i) {
        std::string tex(210000 + rng() % 100000, '\0');
        for (size_t k = 0; k + 8 <= tex.size(); k += 8) {
            const uint64_t v = rng();
            std::memcpy(&tex[k], &v, 8);
        }
        Write(root / ("res/gui/maps/icons/tex" + std::to_string(i) + ".dds"), tex);
    }
}

bool Shell(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

// Runs command under /usr/bin/time -v: wall time and peak resident memory.
TRun Timed(const std::string& command, const fs::path& scratch)
{
    const fs::path report = scratch / "time.txt";
    const auto t0 = std::chrono::steady_clock::now();
    if (!Shell("/usr/bin/time -v -o " + Quote(report.string()) + " " + command + " >/dev/null 2>&1")) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    TRun r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::ifstream in(report);
    std::string line;
    const std::string key = "Maximum resident set size (kbytes): ";
    while (std::getline(in, line))
        if (auto at = line.find(key); at != std::string::npos)
            r.PeakKb = std::stol(line.substr(at + key.size()));
    return r;
}

int ExtractOnce(const std::string& library, const std::string& archive, const std::string& folder)
{
    try {
        TGUID id{};
        if (!FormatIdForExtension(fs::path(archive).extension().string(), id))
            return 2;
        I7zReaderPtr reader = CreateArchiveReader(id, library);
        reader->OpenArchiveFile(archive);
        reader->ExtractAllToFolder(folder);
        reader->CloseArchive();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--extract")
        return ExtractOnce(argv[2], argv[3], argv[4]);

    const char* tmp = std::getenv("TMPDIR");
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::path(tmp && *tmp ? tmp : "/tmp") /
                                                 ("setup-archive-bench-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string self = fs::canonical("/proc/self/exe").string();

    std::printf("generating the mod tree...\n");
    MakeModTree(work / "src");
    Shell("cd " + Quote((work / "src").string()) + " && 7z a -bd -t7z -m0=lzma2 -mx=5 " +
          Quote((work / "mod.7z").string()) + " . >/dev/null");
    Shell("cd " + Quote((work / "src").string()) + " && 7z a -bd -tzip -mm=Deflate -mx=5 " +
          Quote((work / "mod.zip").string()) + " . >/dev/null");

    constexpr int kRounds = 5;
    // The CLI and the binding through each library; the order turns every round so that
    // none of them always gets the warmest cache.
    struct TSide {
        const char* Name;
        std::string Library;  // empty: the 7z CLI
        TRun Best{1e9, 0};
    };
    for (const char* name : {"mod.7z", "mod.zip"}) {
        const std::string archive = (work / name).string();
        std::vector<TSide> sides = {{"7z x", ""}, {"built", SETUP_BENCH_BUILT_7Z_LIBRARY}, {"debian", SETUP_BENCH_DEBIAN_7Z_LIBRARY}};
        for (int round = 0; round < kRounds; ++round) {
            for (size_t k = 0; k < sides.size(); ++k) {
                TSide& side = sides[(k + static_cast<size_t>(round)) % sides.size()];
                const fs::path out = work / (std::string("out-") + side.Name);
                fs::remove_all(out);
                Shell("sync");
                const TRun r = side.Library.empty()
                    ? Timed("7z x -bd -y -o" + Quote(out.string()) + " " + Quote(archive), work)
                    : Timed(Quote(self) + " --extract " + Quote(side.Library) + " " + Quote(archive) + " " +
                                Quote(out.string()), work);
                if (r.Seconds < side.Best.Seconds)
                    side.Best.Seconds = r.Seconds;
                side.Best.PeakKb = std::max(side.Best.PeakKb, r.PeakKb);
            }
        }
        uintmax_t bytes = 0;
        size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(work / "out-built"))
            if (e.is_regular_file()) {
                bytes += e.file_size();
                ++files;
            }
        const TRun& cli = sides[0].Best;
        const TRun& built = sides[1].Best;
        const TRun& debian = sides[2].Best;
        const auto same = [&](const char* a, const char* b) {
            return Shell("diff -r " + Quote((work / a).string()) + " " + Quote((work / b).string()) + " >/dev/null");
        };
        const bool identical = same("out-7z x", "out-built") && same("out-7z x", "out-debian");
        std::printf("%-8s %zu files, %.1f MB | 7z x %.2f s, %ld MB peak | built %.2f s, %ld MB peak | "
                    "debian %.2f s, %ld MB peak\n"
                    "         throughput vs 7z x: built %.3f, debian %.3f (target >= 0.95) | "
                    "built time / debian time %.3f (target <= 1.05) | peak built - 7z x %+.1f MB "
                    "(target <= +20) | trees %s\n",
                    name, files, bytes / 1048576.0, cli.Seconds, cli.PeakKb / 1024, built.Seconds,
                    built.PeakKb / 1024, debian.Seconds, debian.PeakKb / 1024, cli.Seconds / built.Seconds,
                    cli.Seconds / debian.Seconds, built.Seconds / debian.Seconds,
                    (built.PeakKb - cli.PeakKb) / 1024.0, identical ? "identical" : "DIFFER");
    }
    fs::remove_all(work);
    return 0;
}
