// Extraction throughput of the binding against the 7z CLI on the same archives, in the
// same run, through both archive libraries: the 7-Zip built here and Debian's. The three
// sides take turns (each round starts one side later), each run into a fresh folder;
// everything goes at the end. Usage: archive_bench [rounds=5]; honours TMPDIR.
// Internally: archive_bench --extract <library> <archive> <folder> extracts once and exits.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchExtract.h"
#include "BenchRun.h"
#include "TScratchFolder.h"
#include "TSeries.h"
#include "archive/ArchiveBinding.h"

namespace fs = std::filesystem;

namespace {

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

// Our time over theirs, median and range: the range pairs our fastest with their slowest
// and the other way round.
std::string TimeRatio(const TSeries& ours, const TSeries& theirs)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f (%.3f-%.3f)", ours.Median() / theirs.Median(),
                  ours.Min() / theirs.Max(), ours.Max() / theirs.Min());
    return buffer;
}

int Compare(int rounds)
{
    TScratchFolder work("setup-archive-bench");
    const bool spread = work.SpreadOverBlockGroups();
    const std::string self = fs::canonical("/proc/self/exe").string();
    const std::string src = work.Fresh("src");

    std::printf("generating the mod tree in %s ...\n", work.Path().c_str());
    MakeModTree(src);
    const std::string archives[] = {work.Fresh("mod.7z"), work.Fresh("mod.zip")};
    Shell("cd " + ShellQuote(src) + " && 7z a -bd -bso0 -t7z -m0=lzma2 -mx=5 " + ShellQuote(archives[0]) + " .");
    Shell("cd " + ShellQuote(src) + " && 7z a -bd -bso0 -tzip -mm=Deflate -mx=5 " + ShellQuote(archives[1]) + " .");
    std::printf("%d rounds of three sides per archive; load average %.2f; run folders %s\n", rounds, LoadAverage(),
                spread ? "spread over block groups" : "as the file system places them");

    // The CLI, then the binding through each library.
    struct TSide {
        const char* Name;
        std::string Library;  // empty: the 7z CLI
        TSeries Runs;
        std::string Last;
    };
    bool allSame = true;
    for (const std::string& archive : archives) {
        TSide sides[] = {{"7z x", "", {}, {}},
                         {"built", SETUP_BENCH_BUILT_7Z_LIBRARY, {}, {}},
                         {"debian", SETUP_BENCH_DEBIAN_7Z_LIBRARY, {}, {}}};
        for (int round = 0; round < rounds; ++round) {
            for (int k : RoundOrder(round, 3)) {
                TSide& side = sides[k];
                side.Last = work.Fresh("run#");
                side.Runs.Add(side.Library.empty()
                                  ? RunChild({"7z", "x", "-bd", "-bso0", "-y", "-o" + side.Last, archive})
                                  : RunChild({self, "--extract", side.Library, archive, side.Last}));
            }
            for (int k = 1; k < 3; ++k)
                allSame = allSame &&
                          Shell("diff -r " + ShellQuote(sides[0].Last) + " " + ShellQuote(sides[k].Last) + " >/dev/null");
        }
        const TSeries& cli = sides[0].Runs;
        const TSeries& built = sides[1].Runs;
        const TSeries& debian = sides[2].Runs;
        uintmax_t bytes = 0;
        size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(sides[1].Last))
            if (e.is_regular_file()) {
                bytes += e.file_size();
                ++files;
            }
        std::printf("\n%s: %zu files, %.1f MB; %zu runs a side, wall time median (range)\n",
                    fs::path(archive).filename().c_str(), files, bytes / 1048576.0, built.Count());
        for (const TSide& side : sides)
            std::printf("  %-7s %s s, %ld MB peak\n", side.Name, side.Runs.Text().c_str(), side.Runs.PeakKb() / 1024);
        std::printf("  throughput vs 7z x: built %s, debian %s (target >= 0.95)\n", built.SpeedAgainst(cli).c_str(),
                    debian.SpeedAgainst(cli).c_str());
        std::printf("  built time / debian time %s (target <= 1.05) | peak built - 7z x %+.1f MB (target <= +20)\n",
                    TimeRatio(built, debian).c_str(), (built.PeakKb() - cli.PeakKb()) / 1024.0);
    }
    std::printf("\nload average at end %.2f; trees %s\n", LoadAverage(), allSame ? "identical" : "DIFFER");
    return allSame ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--extract")
        return ExtractOnce(argv[2], argv[3], argv[4]);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        return Compare(argc > 1 ? std::max(1, std::atoi(argv[1])) : 5);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
