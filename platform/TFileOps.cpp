#include "platform/TFileOps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "platform/Paths.h"
#include "platform/TFileStream.h"

namespace {
bool WriteAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies the bytes of from into the open file fd, which gets from's permission bits.
bool CopyInto(const std::string& from, int fd)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
    static constexpr size_t Block = 1 << 20;
    std::string buf(Block, '\0');
    while (ok) {
        const ssize_t r = ::read(in, buf.data(), Block);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        ok = WriteAll(fd, buf.data(), static_cast<size_t>(r));
    }
    ::close(in);
    return ok && ::fchmod(fd, st.st_mode & 07777) == 0 && ::fsync(fd) == 0;
}

// A file of a unique name in folder, open for writing; its path goes to tempPath.
int CreateTempIn(const std::string& folder, std::string& tempPath)
{
    std::unique_ptr<TFileStream> probe = TFileStream::CreateTemp(folder, tempPath);
    if (!probe)
        return -1;
    probe.reset();
    return ::open(tempPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}

// Fills a temporary file beside path and renames it over path; on any failure the
// temporary file goes and path stays as it was.
bool ReplaceThroughTemp(const std::string& path, const std::function<bool(int)>& fill)
{
    std::string temp;
    const int fd = CreateTempIn(ExtractFilePath(path), temp);
    if (fd < 0)
        return false;
    const bool ok = fill(fd);
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
}  // namespace

bool TFileOps::LinkOrCopy(const std::string& from, const std::string& to)
{
    // A second name keeps the very file (content, bits, times) at no cost; the rename that
    // later puts a new file under from leaves this name alone. A file that already has
    // other names is copied: whoever writes through those would change the copy as well.
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return false;
    if (S_ISREG(st.st_mode) && st.st_nlink == 1) {
        if (::link(from.c_str(), to.c_str()) == 0)
            return true;
        if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != ENOTSUP)
            return false;
    }
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = CopyInto(from, fd);
    if (::close(fd) != 0 || !ok) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

bool TFileOps::CopyReplacing(const std::string& from, const std::string& to)
{
    return ReplaceThroughTemp(to, [&](int fd) { return CopyInto(from, fd); });
}

bool TFileOps::WriteWholeFile(const std::string& path, const std::string& bytes)
{
    // No fsync: it would also wait for every file the installation has written so far (the
    // file system commits them together), and a rename over the old file already makes
    // the file system write the new content before the new name.
    return ReplaceThroughTemp(path, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

bool TFileOps::RemoveEmptyFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0;
}

bool TFileOps::RegularFileSize(const std::string& path, uint64_t& size)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool TFileOps::EntryExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}
