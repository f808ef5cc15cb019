#include "platform/TFileStream.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/Exception.h"

namespace {
thread_local int LastErrno = 0;

int Remember(int rc)
{
    if (rc < 0)
        LastErrno = errno;
    return rc;
}
}  // namespace

std::unique_ptr<TFileStream> TFileStream::OpenRead(const std::string& path)
{
    const int fd = Remember(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        LastErrno = EISDIR;
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
}

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path)
{
    const int fd = Remember(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
}

std::unique_ptr<TFileStream> TFileStream::CreateTemp(const std::string& folder, std::string& tempPath)
{
    // A short name: the final name may already be near the file system's length limit.
    // O_EXCL with mode 0666 gives the file the usual mode under the umask, as a plain
    // create would.
    static std::atomic<uint32_t> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".setup-%x-%x-%x.tmp", static_cast<unsigned>(::getpid()),
                      counter.fetch_add(1), static_cast<unsigned>(std::rand()) & 0xFFFFu);
        const std::string path = folder + name;
        const int fd = Remember(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd >= 0) {
            tempPath = path;
            return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
        }
        if (LastErrno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

std::unique_ptr<TFileStream> TFileStream::OpenExistingFile(const std::string& path, uint64_t& size)
{
    const int fd = Remember(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    size = static_cast<uint64_t>(st.st_size);
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path));
}

std::unique_ptr<TFileStream> TFileStream::CreateUnnamed(const std::string& folder)
{
    const std::string dir = folder.empty() ? std::string(".") : folder;
    int fd = Remember(::open(dir.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0600));
    if (fd < 0) {
        if (LastErrno != EOPNOTSUPP && LastErrno != EISDIR && LastErrno != EINVAL)
            return nullptr;
        // No unnamed files here: a named one, unlinked before a byte is written.
        std::string path;
        auto named = CreateTemp(folder.empty() ? std::string("./") : folder, path);
        if (!named)
            return nullptr;
        fd = ::dup(named->Fd);
        ::unlink(path.c_str());
        if (Remember(fd) < 0)
            return nullptr;
    }
    return std::unique_ptr<TFileStream>(new TFileStream(fd, "/proc/self/fd/" + std::to_string(fd)));
}

std::unique_ptr<TFileStream> TFileStream::CreateLinkable(const std::string& folder)
{
    const std::string dir = folder.empty() ? std::string(".") : folder;
    const int fd = Remember(::open(dir.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0666));
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TFileStream>(new TFileStream(fd, "/proc/self/fd/" + std::to_string(fd)));
}

bool TFileStream::LinkAs(const std::string& path)
{
    // Through /proc: linking a descriptor directly (AT_EMPTY_PATH) needs a privilege.
    const std::string self = "/proc/self/fd/" + std::to_string(Fd);
    return Remember(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW)) == 0;
}

bool TFileStream::ReplaceFile(const std::string& from, const std::string& to)
{
    return Remember(::rename(from.c_str(), to.c_str())) == 0;
}

bool TFileStream::IsReadOnlyFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::string TFileStream::LastErrorText()
{
    return std::strerror(LastErrno);
}

int TFileStream::LastErrorCode()
{
    return LastErrno;
}

TFileStream::TFileStream(int fd, std::string path) : Fd(fd), FilePath(std::move(path)) {}

TFileStream::~TFileStream()
{
    if (Fd >= 0)
        ::close(Fd);
}

void TFileStream::Fail(const char* what) const
{
    const int e = errno;
    LastErrno = e;
    throw Exception(std::string(what) + " " + FilePath + ": " + std::strerror(e), e);
}

uint32_t TFileStream::Read(void* data, uint32_t size)
{
    uint32_t done = 0;
    auto* p = static_cast<char*>(data);
    while (done < size) {
        const ssize_t n = ::read(Fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("Cannot read file");
        }
        if (n == 0)
            break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

void TFileStream::Write(const void* data, uint32_t size)
{
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(Fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("Cannot write file");
        }
        p += n;
        size -= static_cast<uint32_t>(n);
    }
}

uint64_t TFileStream::Seek(int64_t offset, uint32_t origin)
{
    int whence;
    switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default:
        errno = EINVAL;
        Fail("Cannot seek in file");
    }
    const off_t pos = ::lseek(Fd, static_cast<off_t>(offset), whence);
    if (pos < 0)
        Fail("Cannot seek in file");
    return static_cast<uint64_t>(pos);
}

uint64_t TFileStream::Size()
{
    struct stat st {};
    if (::fstat(Fd, &st) != 0)
        Fail("Cannot read the size of file");
    return static_cast<uint64_t>(st.st_size);
}

void TFileStream::SetSize(uint64_t size)
{
    if (::ftruncate(Fd, static_cast<off_t>(size)) != 0)
        Fail("Cannot set the size of file");
}

bool TFileStream::ReadCachedAt(void* data, uint32_t size, uint64_t offset, uint32_t& got)
{
    got = 0;
    auto* p = static_cast<char*>(data);
    while (got < size) {
        iovec v{p + got, size - got};
        const ssize_t n = ::preadv2(Fd, &v, 1, static_cast<off_t>(offset + got), RWF_NOWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)
                return false;
            Fail("Cannot read file");
        }
        if (n == 0)
            break;
        got += static_cast<uint32_t>(n);
    }
    return true;
}

void TFileStream::CopyFrom(TFileStream& source, uint64_t bytes)
{
    loff_t from = 0;
    while (bytes > 0) {
        const ssize_t n = ::copy_file_range(source.Fd, &from, Fd, nullptr, bytes, 0);
        if (n > 0) {
            bytes -= static_cast<uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
            break;
        Fail("Cannot write file");
    }
    // File systems that cannot copy in the kernel: through a buffer.
    char buf[64 * 1024];
    while (bytes > 0) {
        const ssize_t n = ::pread(source.Fd, buf, bytes < sizeof buf ? bytes : sizeof buf, from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            source.Fail("Cannot read file");
        Write(buf, static_cast<uint32_t>(n));
        from += n;
        bytes -= static_cast<uint64_t>(n);
    }
}

void TFileStream::Close()
{
    if (Fd < 0)
        return;
    const int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        Fail("Cannot write file");
}
