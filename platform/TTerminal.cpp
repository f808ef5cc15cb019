#include "platform/TTerminal.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
void WriteAll(int fd, const std::string& text)
{
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}
}

bool TTerminal::IsTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

int TTerminal::Columns()
{
    winsize ws {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 20)
        return ws.ws_col;
    return 80;
}

void TTerminal::WriteErr(const std::string& text)
{
    WriteAll(STDERR_FILENO, text);
}

void TTerminal::WriteOut(const std::string& text)
{
    WriteAll(STDOUT_FILENO, text);
}

bool TTerminal::ReadLine(std::string& line)
{
    line.clear();
    char c;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !line.empty();
        if (c == '\n')
            return true;
        line += c;
    }
}
