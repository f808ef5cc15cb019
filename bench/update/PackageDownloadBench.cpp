// Peak memory of the update package download: a 200 MB package fetched from nginx on
// loopback the way the program fetches it (to an unnamed file, SHA-256 summed on the way,
// held to the download limits), against `curl -o FILE` of the same URL in the same run,
// and against the whole body held in memory as earlier builds did. Each fetch runs in a
// process of its own so its peak resident size is its own.
#include "TNginxServer.h"

#include "update/TDownloadWatch.h"
#include "update/THttpClient.h"
#include "update/THttpMemoryStream.h"
#include "update/TPackageStream.h"
#include "update/TUpdateSignature.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

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

struct TRun {
    double Seconds = -1;
    long PeakKb = 0;  // the child's peak resident size
    long IdleKb = 0;  // its resident size just before it fetched (ours only)
};

// Runs argv to its end; its wall time and peak resident size. Its standard output, one
// line, goes to line.
TRun Measure(std::vector<std::string> args, std::string* line = nullptr)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    TRun run;
    const auto begin = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return {};
    close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    run.Seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    run.PeakKb = usage.ru_maxrss;
    if (line)
        *line = text;
    return run;
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

    constexpr int Rounds = 3;
    TRun curl, own, memory;
    std::string ownLine, memoryLine;
    for (int round = 0; round < Rounds; ++round) {
        const std::string curlFile = folder + "curl.out";
        TRun c = Measure({"curl", "-s", "-o", curlFile, url});
        std::filesystem::remove(curlFile);
        std::string line;
        TRun o = Measure({exe, "--fetch", "package", url, folder}, &line);
        ownLine = line;
        TRun m = Measure({exe, "--fetch", "memory", url, folder}, &line);
        memoryLine = line;
        if (c.Seconds < 0 || o.Seconds < 0 || m.Seconds < 0) {
            std::fprintf(stderr, "a fetch failed\n");
            return 1;
        }
        o.IdleKb = std::atol(ownLine.c_str());
        m.IdleKb = std::atol(memoryLine.c_str());
        // Best time, and the highest peak of the rounds.
        auto keep = [](TRun& best, const TRun& r) {
            const long peak = std::max(best.PeakKb, r.PeakKb);
            const long idle = std::max(best.IdleKb, r.IdleKb);
            if (best.Seconds < 0 || r.Seconds < best.Seconds)
                best = r;
            best.PeakKb = peak;
            best.IdleKb = idle;
        };
        keep(curl, c);
        keep(own, o);
        keep(memory, m);
    }
    if (ownLine.substr(ownLine.find(' ')) != memoryLine.substr(memoryLine.find(' '))) {
        std::fprintf(stderr, "the two fetches disagree on the digest\n");
        return 1;
    }
    const double mb = PackageSize / 1048576.0;
    std::printf("package                 %.0f MiB from nginx on loopback, %d rounds\n", mb, Rounds);
    std::printf("                        peak RSS   above idle   time      rate\n");
    std::printf("curl -o FILE            %6.1f MiB  %10s   %6.3f s  %6.1f MiB/s\n", curl.PeakKb / 1024.0, "-",
                curl.Seconds, mb / curl.Seconds);
    std::printf("unnamed file + SHA-256  %6.1f MiB  %6.1f MiB   %6.3f s  %6.1f MiB/s\n", own.PeakKb / 1024.0,
                (own.PeakKb - own.IdleKb) / 1024.0, own.Seconds, mb / own.Seconds);
    std::printf("whole body in memory    %6.1f MiB  %6.1f MiB   %6.3f s  %6.1f MiB/s\n", memory.PeakKb / 1024.0,
                (memory.PeakKb - memory.IdleKb) / 1024.0, memory.Seconds, mb / memory.Seconds);
    std::printf("peak RSS ratio          %.2f of curl (in memory: %.2f)\n", double(own.PeakKb) / curl.PeakKb,
                double(memory.PeakKb) / curl.PeakKb);
    std::printf("time ratio              %.2f of curl\n", own.Seconds / curl.Seconds);
    return 0;
}
