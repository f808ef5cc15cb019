// The portable Setup: a launcher without Qt that carries the real program, its libraries
// and plugins as a payload at its end. It unpacks them once per payload into the user's
// cache and runs the program from there, telling it where the real program file is.
#include "launcher/TPayloadCache.h"
#include "launcher/TPayloadTrailer.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
int Fail(const std::string& what)
{
    std::fprintf(stderr, "Setup: %s\n", what.c_str());
    return 127;
}

std::string SelfPath()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

// fallback/<soname>/<soname> holds a library the system normally provides; it goes on the
// library path only where the system has none, so a system copy that matches its drivers wins.
void AddMissingFallbacks(const std::string& folder)
{
    const std::string base = folder + "/fallback";
    DIR* d = ::opendir(base.c_str());
    if (!d)
        return;
    std::string path;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        if (void* h = ::dlopen(name.c_str(), RTLD_LAZY | RTLD_LOCAL)) {
            ::dlclose(h);
            continue;
        }
        path += (path.empty() ? "" : ":") + base + "/" + name;
    }
    ::closedir(d);
    if (path.empty())
        return;
    const char* old = std::getenv("LD_LIBRARY_PATH");
    if (old && *old)
        path += std::string(":") + old;
    ::setenv("LD_LIBRARY_PATH", path.c_str(), 1);
}

void PrepareEnvironment(const std::string& self)
{
    ::setenv("SETUP_EXE", self.c_str(), 1);
    // Plugins of another Qt on this system would not load into ours.
    ::unsetenv("QT_PLUGIN_PATH");
    ::unsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
}

pid_t child = 0;

void Forward(int sig)
{
    if (child > 0)
        ::kill(child, sig);
}

// Where the cache cannot be trusted: a private folder for this run only, removed after it.
int RunFromTemporary(TPayloadCache& cache, int selfFd, const TPayloadTrailer& trailer, char** argv)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string parent = tmp && tmp[0] == '/' && TPayloadCache::Trusted(tmp) ? tmp : "/tmp";
    if (!TPayloadCache::Trusted(parent))
        return Fail("no private folder to unpack into: " + parent + " can be written by another user");
    const std::string folder = cache.UnpackFresh(parent, "Setup.", selfFd, trailer);
    if (folder.empty())
        return Fail(cache.Error());
    ::close(selfFd);
    AddMissingFallbacks(folder);
    const std::string program = folder + "/Setup";
    child = ::fork();
    if (child == 0) {
        ::execv(program.c_str(), argv);
        std::_Exit(127);
    }
    int status = 0;
    if (child > 0) {
        std::signal(SIGINT, Forward);
        std::signal(SIGTERM, Forward);
        std::signal(SIGHUP, Forward);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    TPayloadCache::RemoveTree(folder);
    if (child < 0)
        return Fail(std::string("cannot start the program: ") + std::strerror(errno));
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
}

int main(int argc, char** argv)
{
    (void)argc;
    const std::string self = SelfPath();
    if (self.empty())
        return Fail("cannot find its own file (is /proc mounted?)");
    const int selfFd = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    TPayloadTrailer trailer;
    if (selfFd < 0 || !trailer.Read(selfFd))
        return Fail(self + " carries no program: the file is damaged or incomplete");
    PrepareEnvironment(self);

    TPayloadCache cache(TPayloadCache::DefaultRoot());
    const std::string folder = cache.Prepare(selfFd, trailer);
    if (folder.empty()) {
        std::fprintf(stderr, "Setup: %s; unpacking for this run only\n", cache.Error().c_str());
        return RunFromTemporary(cache, selfFd, trailer, argv);
    }
    ::close(selfFd);
    AddMissingFallbacks(folder);
    const std::string program = folder + "/Setup";
    ::execv(program.c_str(), argv);
    return Fail("cannot start " + program + ": " + std::strerror(errno));
}
