#include "platform/TFolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

TFolderLock::~TFolderLock()
{
    Release();
}

TFolderLock::TFolderLock(TFolderLock&& other) noexcept : FHandle(std::exchange(other.FHandle, -1))
{
}

TFolderLock& TFolderLock::operator=(TFolderLock&& other) noexcept
{
    if (this != &other) {
        Release();
        FHandle = std::exchange(other.FHandle, -1);
    }
    return *this;
}

bool TFolderLock::TryAcquire(const std::string& folder)
{
    Release();
    // Close-on-exec: a program started meanwhile must not keep the folder locked.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0) {
        FHandle = fd;
        return true;
    }
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return !busy;
}

void TFolderLock::Release()
{
    if (FHandle >= 0) {
        // Closing the only descriptor of the open folder drops the lock.
        ::close(FHandle);
        FHandle = -1;
    }
}
