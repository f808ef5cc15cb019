#include "platform/FileSystem.h"

#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (DirectoryExists(p))
        return true;
    const auto slash = p.rfind('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash)))
        return false;
    if (::mkdir(p.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && DirectoryExists(p);
}

bool DeleteFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link fails when the target exists.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

std::string GetCurrentDir()
{
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

bool SetCurrentDir(const std::string& path)
{
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

namespace {
thread_local int LastError = 0;

bool Failed()
{
    LastError = errno;
    return false;
}
}

int LastFileSystemError()
{
    return LastError;
}

bool HardLink(const std::string& existing, const std::string& newName)
{
    return ::link(existing.c_str(), newName.c_str()) == 0 || Failed();
}

bool CopyFileNoReplace(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Failed();
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        Failed();
        ::close(in);
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        Failed();
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ok = Failed();
            break;
        }
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno != EINTR)
                ok = Failed();
            else if (put > 0)
                done += put;
        }
        if (!ok)
            break;
    }
    if (ok && ::fsync(out) != 0)
        ok = Failed();
    if (::close(out) != 0 && ok)
        ok = Failed();
    ::close(in);
    if (!ok)
        ::unlink(to.c_str());
    return ok;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool EntryExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {
int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    const int rc = type == FTW_DP ? ::rmdir(path) : ::unlink(path);
    if (rc != 0 && errno != ENOENT)
        LastError = errno;
    return 0;  // go on: remove as much as can be removed
}
}

bool DeleteTree(const std::string& path)
{
    if (!EntryExists(path))
        return true;
    ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    return !EntryExists(path);
}

bool ForceDirectoriesBelow(const std::string& root, const std::string& folder, std::vector<std::string>& made)
{
    made.clear();
    std::vector<std::string> missing;  // deepest first
    if (folder.compare(0, root.size(), root) == 0) {
        for (std::string f = folder; f.size() > root.size() && !DirectoryExists(f);
             f = ExtractFilePath(f.substr(0, f.size() - 1)))
            missing.push_back(f);
    }
    if (!ForceDirectories(folder))
        return false;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        made.push_back(it->substr(root.size(), it->size() - root.size() - 1));
    return true;
}
