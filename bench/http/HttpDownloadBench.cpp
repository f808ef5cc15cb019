// FetchStream of a 100 MB file from nginx on loopback into memory, against
// `curl -o /dev/null` of the same URL in the same run.
#include "TNginxServer.h"

#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

constexpr std::size_t FileSize = 100 * 1000 * 1000;
constexpr int Rounds = 5;

double Seconds(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

long MaxRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Wall time of one curl run. (Its ru_maxrss would start from ours at the spawn, so
// it says nothing about curl.)
double CurlOnce(const std::string& url)
{
    const char* argv[] = {"curl", "-s", "-o", "/dev/null", url.c_str(), nullptr};
    auto begin = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    double took = Seconds(begin);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1;
}
}  // namespace

int main()
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

    double bestCurl = 1e9, bestOwn = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        double took = CurlOnce(url);
        if (took < 0) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        bestCurl = std::min(bestCurl, took);

        THttpClient client;
        client.Request.UserAgent = "";
        client.HandleRedirects = true;
        THttpMemoryStream stream;
        auto begin = Clock::now();
        client.FetchStream(url, stream);
        double own = Seconds(begin);
        if (stream.Size() != FileSize) {
            std::fprintf(stderr, "short body: %zu\n", stream.Size());
            return 1;
        }
        bestOwn = std::min(bestOwn, own);
    }
    long peakKb = MaxRssKb();
    double mb = FileSize / 1e6;
    std::printf("body               %.0f MB, best of %d rounds\n", mb, Rounds);
    std::printf("curl -o /dev/null  %8.1f MB/s  (%.3f s)\n", mb / bestCurl, bestCurl);
    std::printf("FetchStream        %8.1f MB/s  (%.3f s)\n", mb / bestOwn, bestOwn);
    std::printf("throughput ratio   %8.2f of curl\n", bestCurl / bestOwn);
    std::printf("peak RSS           %8.1f MB (before fetching %.1f MB; body %.1f MB)\n",
                peakKb / 1024.0, baselineKb / 1024.0, FileSize / 1048576.0);
    return 0;
}
