#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A blocking-looking IPv4 TCP client socket with time limits, over the OS sockets.
// Calls report failure as a code instead of raising, so the protocol layer decides
// which error the user sees. Codes are errno values; resolver failures are negative
// getaddrinfo codes.
class TTcpSocket {
public:
    TTcpSocket() = default;
    ~TTcpSocket();
    TTcpSocket(const TTcpSocket&) = delete;
    TTcpSocket& operator=(const TTcpSocket&) = delete;

    // "LOCALHOST" (any case) is 127.0.0.1, a dotted address is taken as is, anything
    // else goes to the resolver. address is in network byte order.
    static int ResolveIPv4(const std::string& host, std::uint32_t& address);
    static std::string ErrorText(int code);

    // ETIMEDOUT when no connection is made within timeoutMs.
    int Connect(std::uint32_t address, int port, int timeoutMs);
    // Returns bytes read (> 0), 0 when the peer closed, or -code (ETIMEDOUT when no data
    // came within timeoutMs).
    long Receive(char* buffer, std::size_t size, int timeoutMs);
    // Sends everything or returns the error code; 0 on success.
    int SendAll(const char* data, std::size_t size, int timeoutMs);
    void Close();
    bool IsOpen() const { return FHandle >= 0; }
    // Open, not closed by the peer, and with no unasked-for bytes waiting: safe to send
    // another request on.
    bool IsIdle() const;

private:
    int Wait(short events, int timeoutMs);

    int FHandle = -1;
};
