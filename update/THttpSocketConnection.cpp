#include "update/THttpSocketConnection.h"

#include "update/EHttpReadTimeout.h"
#include "update/ESocketError.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

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
    if (!FProgress) {
        long got = FSocket.Receive(buffer, size, FReadTimeout);
        if (got == -ETIMEDOUT)
            throw EHttpReadTimeout();
        if (got < 0)
            RaiseSocketError(static_cast<int>(-got));
        return static_cast<std::size_t>(got);
    }
    // The wait is cut into slices so the caller gets its turn while a server dawdles.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(FReadTimeout);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            throw EHttpReadTimeout();
        const int slice = static_cast<int>(std::min<long long>(left, FProgressInterval));
        long got = FSocket.Receive(buffer, size, slice);
        if (got == -ETIMEDOUT) {
            FProgress(0);
            continue;
        }
        if (got < 0)
            RaiseSocketError(static_cast<int>(-got));
        FProgress(static_cast<std::size_t>(got));
        return static_cast<std::size_t>(got);
    }
}

void THttpSocketConnection::SetProgress(std::function<void(std::size_t)> progress, int intervalMs)
{
    FProgress = std::move(progress);
    FProgressInterval = std::max(1, intervalMs);
}

void THttpSocketConnection::Send(const std::string& data)
{
    if (int rc = FSocket.SendAll(data.data(), data.size(), FReadTimeout))
        RaiseSocketError(rc);
}

void THttpSocketConnection::Close() { FSocket.Close(); }

bool THttpSocketConnection::Connected() const { return FSocket.IsIdle(); }
