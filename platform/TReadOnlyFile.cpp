#include "platform/TReadOnlyFile.h"

#include "platform/Exception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TReadOnlyFile::TReadOnlyFile(const std::string& path)
{
    // O_NONBLOCK keeps open() from waiting on a FIFO; it has no effect on regular files.
    Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (Fd < 0)
        throw Exception("Cannot open file " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(Fd);
        Fd = -1;
        throw Exception("Not a regular file: " + path);
    }
    FileSize = static_cast<uint64_t>(st.st_size);
}

TReadOnlyFile::~TReadOnlyFile()
{
    if (Fd >= 0)
        ::close(Fd);
}

bool TReadOnlyFile::ReadAt(uint64_t offset, void* dst, size_t len) const
{
    if (offset > FileSize || len > FileSize - offset)
        return false;
    auto* p = static_cast<unsigned char*>(dst);
    while (len > 0) {
        const ssize_t n = ::pread(Fd, p, len, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;  // error, or the file shrank under us
        p += n;
        offset += static_cast<uint64_t>(n);
        len -= static_cast<size_t>(n);
    }
    return true;
}

std::string TReadOnlyFile::ReadWhole(const std::string& path, size_t maxBytes)
{
    TReadOnlyFile file(path);
    if (file.Size() > maxBytes)
        throw Exception("File too large: " + path);
    std::string text(static_cast<size_t>(file.Size()), '\0');
    if (!text.empty() && !file.ReadAt(0, text.data(), text.size()))
        throw Exception("Cannot read file " + path);
    return text;
}
