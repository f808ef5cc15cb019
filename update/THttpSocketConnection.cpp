#include "update/THttpSocketConnection.h"

#include "update/EHttpReadTimeout.h"
#include "update/ESocketError.h"

#include <cerrno>

namespace {
[[noreturn]] void RaiseSocketError(int code)
{
    throw ESocketError(code, TTcpSocket::ErrorText(code));
}
}  // namespace

THttpSocketConnection::THttpSocketConnection(const std::string& host, int port,
                                             int connectTimeoutMs, int readTimeoutMs)
    : FReadTimeout(readTimeoutMs)
{
    std::uint32_t address = 0;
    if (int rc = TTcpSocket::ResolveIPv4(host, address))
        RaiseSocketError(rc);
    if (int rc = FSocket.Connect(address, port, connectTimeoutMs))
        RaiseSocketError(rc);
}

std::size_t THttpSocketConnection::Receive(char* buffer, std::size_t size)
{
    long got = FSocket.Receive(buffer, size, FReadTimeout);
    if (got == -ETIMEDOUT)
        throw EHttpReadTimeout();
    if (got < 0)
        RaiseSocketError(static_cast<int>(-got));
    return static_cast<std::size_t>(got);
}

void THttpSocketConnection::Send(const std::string& data)
{
    if (int rc = FSocket.SendAll(data.data(), data.size(), FReadTimeout))
        RaiseSocketError(rc);
}

void THttpSocketConnection::Close() { FSocket.Close(); }

bool THttpSocketConnection::Connected() const { return FSocket.IsIdle(); }
