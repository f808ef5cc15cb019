#include "platform/ExecutablePath.h"

#include "platform/Paths.h"

#include <climits>
#include <unistd.h>

namespace {
std::string& Override()
{
    static std::string path;
    return path;
}
}

std::string ExecutablePath()
{
    if (!Override().empty())
        return Override();
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
