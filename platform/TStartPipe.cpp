#include "platform/TStartPipe.h"

#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const TStartPipe::Variable = "SETUP_STARTED_FD";

namespace {
// The write end handed to this program, once adopted; -1 when there is none.
int Handed = -1;

void CloseHandle(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}
}

TStartPipe::TStartPipe()
{
    // A socket pair rather than a pipe: a confirmation sent after the starter has gone
    // must fail quietly, not kill the program with SIGPIPE.
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    ::shutdown(fds[0], SHUT_WR);
    FRead = fds[0];
    // Above the handed number, so the child's dup2 always makes a fresh descriptor, which
    // loses close-on-exec.
    FWrite = ::fcntl(fds[1], F_DUPFD_CLOEXEC, HandedFd + 1);
    ::close(fds[1]);
    ::fcntl(FRead, F_SETFL, ::fcntl(FRead, F_GETFL) | O_NONBLOCK);
}

TStartPipe::~TStartPipe()
{
    CloseHandle(FRead);
    CloseHandle(FWrite);
}

bool TStartPipe::StartDetached(const std::string& path)
{
    if (FRead < 0 || FWrite < 0)
        return StartProgramDetached(path);
    const bool started = StartProgramDetached(path, FWrite, HandedFd, Variable);
    CloseHandle(FWrite);
    return started;
}

TStartPipe::TState TStartPipe::Poll()
{
    if (FRead < 0)
        return TState::Confirmed;  // no pipe could be made: started as without one
    if (FState != TState::Waiting)
        return FState;
    char byte;
    const ssize_t got = ::recv(FRead, &byte, 1, 0);
    if (got == 1)
        FState = TState::Confirmed;
    else if (got == 0)
        FState = TState::Ended;
    else if (errno != EAGAIN && errno != EINTR)
        FState = TState::Ended;
    return FState;
}

void TStartPipe::Adopt()
{
    const char* value = std::getenv(Variable);
    if (!value)
        return;
    char* end = nullptr;
    const long fd = std::strtol(value, &end, 10);
    ::unsetenv(Variable);
    if (end == value || *end || fd < 0 || fd > 1024)
        return;
    // Only a socket is ours: a number left over in the environment may name anything.
    struct stat st;
    if (::fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode))
        return;
    Handed = static_cast<int>(fd);
    ::fcntl(Handed, F_SETFD, FD_CLOEXEC);
}

bool TStartPipe::Awaited()
{
    return Handed >= 0;
}

void TStartPipe::Confirm()
{
    if (Handed < 0)
        return;
    const char byte = '1';
    ssize_t rc;
    do {
        rc = ::send(Handed, &byte, 1, MSG_NOSIGNAL);
    } while (rc < 0 && errno == EINTR);
    CloseHandle(Handed);
}
