#include "platform/ExecutablePath.h"

#include "platform/Paths.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace {
std::string& Override()
{
    static std::string path;
    return path;
}

std::string& LauncherPath()
{
    static std::string path;
    return path;
}
}

void AdoptLauncherPath()
{
    // Set by the portable file's launcher, which runs this program from a cache folder:
    // the folder, the version and the self-update are the launcher file's.
    const char* launcher = std::getenv("SETUP_EXE");
    if (launcher && launcher[0] == '/')
        LauncherPath() = launcher;
    ::unsetenv("SETUP_EXE");
}

std::string ExecutablePath()
{
    if (!Override().empty())
        return Override();
    if (!LauncherPath().empty())
        return LauncherPath();
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

void SetExecutablePathOverride(const std::string& path)
{
    Override() = path;
}

std::string ProgramFolder()
{
    return ExtractFilePath(ExecutablePath());
}
