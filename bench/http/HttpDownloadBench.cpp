// FetchStream of a 100 MB file from nginx on loopback into memory, against
// `curl -o /dev/null` of the same URL in the same run, the two taking turns.
// Usage: bench_http_download [pairs=5].
#include "BenchRun.h"
#include "TNginxServer.h"
#include "TSeries.h"

#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::size_t FileSize = 100 * 1000 * 1000;

long MaxRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
}  // namespace

int main(int argc, char** argv)
{
    TNginxServer nginx;
    std::filesystem::create_directories(nginx.Root() + "/pub/OVK");
    {
        std::ofstream out(nginx.Root() + "/pub/OVK/Setup.7z", std::ios::binary);
        std::vector<char> block(1 << 20);
        unsigned state = 12345;
        for (std::size_t written = 0; written < FileSize; written += block.size()) {
            for (char& c : block)
                c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
            out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), FileSize - written)));
        }
    }
    const std::string url = nginx.Url("/pub/OVK/Setup.7z");
    long baselineKb = MaxRssKb();

    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TSeries curl, own;
    try {
        for (int round = 0; round < pairs; ++round)
            for (int side : RoundOrder(round, 2)) {
                if (side == 0) {
                    // Its peak would start from ours at the fork, so it says nothing about curl.
                    curl.Add(RunChild({"curl", "-s", "-o", "/dev/null", url}).Wall);
                    continue;
                }
                THttpClient client;
                client.Request.UserAgent = "";
                client.HandleRedirects = true;
                THttpMemoryStream stream;
                const auto begin = Clock::now();
                client.FetchStream(url, stream);
                own.Add(SecondsSince(begin));
                if (stream.Size() != FileSize) {
                    std::fprintf(stderr, "short body: %zu\n", stream.Size());
                    return 1;
                }
            }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const long peakKb = MaxRssKb();
    const double mb = FileSize / 1e6;
    std::printf("body               %.0f MB, %d pairs taking turns; load average %.2f\n", mb, pairs, LoadAverage());
    std::printf("                   MB/s at the median   time s, median (range)\n");
    std::printf("curl -o /dev/null  %8.1f             %s\n", mb / curl.Median(), curl.Text().c_str());
    std::printf("FetchStream        %8.1f             %s\n", mb / own.Median(), own.Text().c_str());
    std::printf("throughput ratio   %s of curl\n", own.SpeedAgainst(curl).c_str());
    std::printf("peak RSS           %8.1f MB (before fetching %.1f MB; body %.1f MB)\n",
                peakKb / 1024.0, baselineKb / 1024.0, FileSize / 1048576.0);
    return 0;
}
