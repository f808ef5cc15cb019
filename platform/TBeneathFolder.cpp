#include "platform/TBeneathFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {
bool KernelResolvesBeneath = true;

void CloseKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
}
}  // namespace

TBeneathFolder::TBeneathFolder(const std::string& folder)
    : FRoot(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

TBeneathFolder::~TBeneathFolder()
{
    if (FRoot >= 0)
        ::close(FRoot);
}

int TBeneathFolder::Resolve(int at, const std::string& path, int flags) const
{
    if (KernelResolvesBeneath) {
        open_how how{};
        how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, at, path.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS)
            return static_cast<int>(fd);
        KernelResolvesBeneath = false;
    }
    // One part at a time, following no link: nothing can lead out.
    int current = ::dup(at);
    std::size_t start = 0;
    while (current >= 0) {
        const std::size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..") {
            CloseKeepingErrno(current);
            errno = EXDEV;
            return -1;
        }
        const bool last = slash == std::string::npos;
        struct stat st {};
        if (::fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            CloseKeepingErrno(current);
            errno = EXDEV;  // a link: treated as leading out
            return -1;
        }
        const int next = ::openat(current, part.c_str(),
                                  (last ? flags : O_PATH | O_DIRECTORY) | O_NOFOLLOW | O_CLOEXEC);
        CloseKeepingErrno(current);
        if (next < 0 || last)
            return next;
        current = next;
        start = slash + 1;
    }
    return -1;
}

int TBeneathFolder::OpenParent(const std::string& relativePath, std::string& leaf, bool create) const
{
    const std::size_t slash = relativePath.rfind('/');
    leaf = slash == std::string::npos ? relativePath : relativePath.substr(slash + 1);
    if (slash == std::string::npos)
        return ::dup(FRoot);
    const std::string parent = relativePath.substr(0, slash);
    int fd = Resolve(FRoot, parent, O_PATH | O_DIRECTORY);
    if (fd >= 0 || !create || errno != ENOENT)
        return fd;
    // Made one part at a time, each beneath the last.
    int current = ::dup(FRoot);
    std::size_t start = 0;
    while (current >= 0) {
        const std::size_t next = parent.find('/', start);
        const std::string part = parent.substr(start, next == std::string::npos ? std::string::npos : next - start);
        if (::mkdirat(current, part.c_str(), 0755) != 0 && errno != EEXIST) {
            CloseKeepingErrno(current);
            return -1;
        }
        const int child = Resolve(current, part, O_PATH | O_DIRECTORY);
        CloseKeepingErrno(current);
        if (child < 0 || next == std::string::npos)
            return child;
        current = child;
        start = next + 1;
    }
    return -1;
}

TBeneathFolder::TWhere TBeneathFolder::Locate(const std::string& relativePath, bool& regular,
                                              uint64_t& size) const
{
    regular = false;
    size = 0;
    const int fd = Resolve(FRoot, relativePath, O_PATH);
    if (fd < 0)
        return errno == EXDEV || errno == ELOOP ? TWhere::Outside : TWhere::Missing;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        regular = true;
        size = static_cast<uint64_t>(st.st_size);
    }
    ::close(fd);
    return TWhere::Inside;
}

int TBeneathFolder::OpenRead(const std::string& relativePath) const
{
    return Resolve(FRoot, relativePath, O_RDONLY);
}

bool TBeneathFolder::Unlink(const std::string& relativePath) const
{
    std::string leaf;
    const int parent = OpenParent(relativePath, leaf, false);
    if (parent < 0)
        return false;
    const bool done = ::unlinkat(parent, leaf.c_str(), 0) == 0;
    CloseKeepingErrno(parent);
    return done;
}

bool TBeneathFolder::RemoveEmptyFolder(const std::string& relativePath) const
{
    std::string leaf;
    const int parent = OpenParent(relativePath, leaf, false);
    if (parent < 0)
        return false;
    const bool done = ::unlinkat(parent, leaf.c_str(), AT_REMOVEDIR) == 0;
    CloseKeepingErrno(parent);
    return done;
}

bool TBeneathFolder::MoveInto(const std::string& source, const std::string& relativePath) const
{
    std::string leaf;
    const int parent = OpenParent(relativePath, leaf, true);
    if (parent < 0)
        return false;
    bool done = ::renameat(AT_FDCWD, source.c_str(), parent, leaf.c_str()) == 0;
    if (!done && errno == EXDEV) {
        // Another file system: a copy under a temporary name, renamed over the place.
        const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        const std::string temp = "." + leaf + ".setup-restore";
        ::unlinkat(parent, temp.c_str(), 0);
        const int out = in >= 0 && ::fstat(in, &st) == 0
            ? ::openat(parent, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 07777)
            : -1;
        bool copied = out >= 0;
        std::vector<char> buffer(1 << 16);
        while (copied) {
            const ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n == 0)
                break;
            copied = n > 0 && ::write(out, buffer.data(), static_cast<size_t>(n)) == n;
        }
        copied = copied && ::fchmod(out, st.st_mode & 07777) == 0 && ::close(out) == 0;
        if (!copied && out >= 0)
            ::close(out);
        if (in >= 0)
            ::close(in);
        done = copied && ::renameat(parent, temp.c_str(), parent, leaf.c_str()) == 0;
        if (done)
            ::unlink(source.c_str());
        else
            ::unlinkat(parent, temp.c_str(), 0);
    }
    CloseKeepingErrno(parent);
    return done;
}
