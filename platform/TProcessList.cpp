#include "platform/TProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {
// Enough for any command line a game is started with; longer ones are cut, not refused.
constexpr std::size_t MaxCommandLine = 64 * 1024;

bool ReadCommandLine(const std::string& file, std::vector<std::string>& args)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string text;
    char buf[4096];
    while (text.size() < MaxCommandLine) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos)
            end = text.size();
        args.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return !args.empty();
}

bool ReadLink(const std::string& link, std::string& target)
{
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf)
        return false;
    target.assign(buf, static_cast<std::size_t>(n));
    // An executable replaced or deleted since it started.
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() && target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
        target.erase(target.size() - deleted.size());
    return true;
}
}

bool TProcessList::Read(int pid, TProcessInfo& info)
{
    const std::string base = "/proc/" + std::to_string(pid) + "/";
    info = TProcessInfo();
    info.Pid = pid;
    const bool exe = ReadLink(base + "exe", info.Exe);
    const bool cmd = ReadCommandLine(base + "cmdline", info.Args);
    return exe || cmd;
}

bool TProcessList::Snapshot(std::vector<TProcessInfo>& list)
{
    list.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
    if (!dir)
        return false;
    const int self = static_cast<int>(::getpid());
    while (const dirent* e = ::readdir(dir.get())) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        TProcessInfo info;
        if (Read(static_cast<int>(pid), info))
            list.push_back(std::move(info));
    }
    return true;
}
