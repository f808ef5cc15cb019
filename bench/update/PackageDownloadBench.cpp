// Peak memory of the update package download: a 200 MB package fetched from nginx on
// loopback the way the program fetches it (to an unnamed file, SHA-256 summed on the way,
// held to the download limits), against `curl -o FILE` of the same URL in the same run,
// and against the whole body held in memory as earlier builds did. Each fetch runs in a
// process of its own so its peak resident size is its own; the three take turns in a
// rotating order, curl into a fresh file each time (all removed at the end, with nginx's
// folder under TMPDIR). Usage: bench_update_package [rounds=5].
#include "BenchRun.h"
#include "TNginxServer.h"
#include "TSeries.h"

#include "update/TDownloadWatch.h"
#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"
#include "update/TPackageStream.h"
#include "update/TUpdateSignature.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::size_t PackageSize = 200u << 20;

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// The child: one fetch of url, as the program does it or into memory; prints the resident
// size it had before fetching and the digest.
int Fetch(const std::string& how, const std::string& url, const std::string& folder)
{
    THttpClient client;
    client.Request.UserAgent = "";
    client.HandleRedirects = true;
    client.MaxStreamSize = 256u << 20;
    const long idleKb = StatusKb("VmRSS:");
    std::string digest;
    std::uint64_t size = 0;
    if (how == "package") {
        TPackageStream package(folder);
        TDownloadWatch watch{TDownloadLimits{}};
        const auto start = Clock::now();
        client.OnProgress = [&](std::size_t received) {
            watch.Received(received, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        };
        client.FetchStream(url, package);
        size = package.Size();
        digest = package.Sha256Hex();
    } else {
        THttpMemoryStream memory;
        client.FetchStream(url, memory);
        size = memory.Size();
        digest = TUpdateSignature::Sha256Hex(memory.Data(), memory.Size());
    }
    if (size != PackageSize)
        return 1;
    std::printf("%ld %s\n", idleKb, digest.c_str());
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--fetch") == 0)
        return Fetch(argv[2], argv[3], argv[4]);

    TNginxServer nginx;
    const std::string pub = nginx.Root() + "/pub/OVK";
    std::filesystem::create_directories(pub);
    {
        std::ofstream out(pub + "/Setup.7z", std::ios::binary);
        std::vector<char> block(1 << 20);
        unsigned state = 12345;
        for (std::size_t written = 0; written < PackageSize; written += block.size()) {
            for (char& c : block)
                c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    const std::string url = nginx.Url("/pub/OVK/Setup.7z");
    const std::string folder = nginx.Folder() + "/";
    const std::string self = "/proc/self/exe";
    char exe[4096] = {};
    if (readlink(self.c_str(), exe, sizeof exe - 1) <= 0)
        return 1;

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    enum { Curl, Own, Memory, Sides };
    TSeries runs[Sides];
    long idleKb[Sides] = {0, 0, 0};
    std::string digest[Sides];
    int serial = 0;
    try {
        for (int round = 0; round < rounds; ++round)
            for (int side : RoundOrder(round, Sides)) {
                if (side == Curl) {
                    runs[side].Add(RunChild({"curl", "-s", "-o", folder + "curl" + std::to_string(++serial) + ".out", url}));
                    continue;
                }
                std::string line;
                runs[side].Add(RunChild({exe, "--fetch", side == Own ? "package" : "memory", url, folder}, &line));
                idleKb[side] = std::max(idleKb[side], std::atol(line.c_str()));
                digest[side] = line.substr(std::min(line.size(), line.find(' ')));
            }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (digest[Own].empty() || digest[Own] != digest[Memory]) {
        std::fprintf(stderr, "the two fetches disagree on the digest\n");
        return 1;
    }
    const double mb = PackageSize / 1048576.0;
    const char* names[] = {"curl -o FILE", "unnamed file + SHA-256", "whole body in memory"};
    std::printf("package %.0f MiB from nginx on loopback, %d rounds; load average %.2f\n", mb, rounds, LoadAverage());
    std::printf("%-24s %9s %11s  %-24s %s\n", "", "peak RSS", "above idle", "time s, median (range)", "rate");
    for (int side = 0; side < Sides; ++side) {
        char above[32] = "-";
        if (side != Curl)
            std::snprintf(above, sizeof above, "%.1f MiB", (runs[side].PeakKb() - idleKb[side]) / 1024.0);
        std::printf("%-24s %5.1f MiB %11s  %-24s %6.1f MiB/s\n", names[side], runs[side].PeakKb() / 1024.0, above,
                    runs[side].Text().c_str(), mb / runs[side].Median());
    }
    std::printf("peak RSS ratio          %.2f of curl (in memory: %.2f)\n",
                double(runs[Own].PeakKb()) / runs[Curl].PeakKb(), double(runs[Memory].PeakKb()) / runs[Curl].PeakKb());
    std::printf("speed against curl      %s\n", runs[Own].SpeedAgainst(runs[Curl]).c_str());
    return 0;
}
