#include "platform/TTcpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

TTcpSocket::~TTcpSocket() { Close(); }

int TTcpSocket::ResolveIPv4(const std::string& host, std::uint32_t& address)
{
    if (strcasecmp(host.c_str(), "LOCALHOST") == 0) {
        address = htonl(INADDR_LOOPBACK);
        return 0;
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = parsed.s_addr;
        return 0;
    }
    if (host.empty() || host.find('\0') != std::string::npos)
        return EAI_NONAME;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0)
        return rc == EAI_SYSTEM ? (errno ? errno : EIO) : rc;
    address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return 0;
}

std::string TTcpSocket::ErrorText(int code)
{
    if (code < 0)
        return gai_strerror(code);
    char buffer[256];
    // GNU strerror_r returns the text, which may not be in buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

int TTcpSocket::Wait(short events, int timeoutMs)
{
    pollfd entry{FHandle, events, 0};
    for (;;) {
        int rc = poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (rc > 0)
            return 0;
        if (rc == 0)
            return ETIMEDOUT;
        if (errno != EINTR)
            return errno;
    }
}

int TTcpSocket::Connect(std::uint32_t address, int port, int timeoutMs)
{
    Close();
    if (port <= 0 || port > 65535)
        return EINVAL;
    FHandle = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (FHandle < 0)
        return errno;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    target.sin_addr.s_addr = address;
    int result = 0;
    if (connect(FHandle, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        result = errno;
        if (result == EINPROGRESS) {
            result = Wait(POLLOUT, timeoutMs);
            if (result == 0) {
                socklen_t length = sizeof result;
                if (getsockopt(FHandle, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
                    result = errno;
            }
        }
    }
    if (result != 0) {
        Close();
        return result;
    }
    int one = 1;
    setsockopt(FHandle, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return 0;
}

long TTcpSocket::Receive(char* buffer, std::size_t size, int timeoutMs)
{
    if (FHandle < 0)
        return -ENOTCONN;
    for (;;) {
        ssize_t got = recv(FHandle, buffer, size, 0);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -errno;
        int rc = Wait(POLLIN, timeoutMs);
        if (rc != 0)
            return -rc;
    }
}

int TTcpSocket::SendAll(const char* data, std::size_t size, int timeoutMs)
{
    if (FHandle < 0)
        return ENOTCONN;
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that has gone must be an error, not a SIGPIPE.
        ssize_t sent = send(FHandle, data, size, MSG_NOSIGNAL);
        if (sent >= 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        int rc = Wait(POLLOUT, timeoutMs);
        if (rc != 0)
            return rc;
    }
    return 0;
}

bool TTcpSocket::IsIdle() const
{
    if (FHandle < 0)
        return false;
    pollfd entry{FHandle, POLLIN, 0};
    int rc = poll(&entry, 1, 0);
    if (rc == 0)
        return true;
    if (rc < 0)
        return false;
    char byte;
    ssize_t got = recv(FHandle, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

void TTcpSocket::Close()
{
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
}
