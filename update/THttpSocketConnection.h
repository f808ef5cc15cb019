#pragma once

#include "platform/TTcpSocket.h"
#include "update/THttpConnection.h"

#include <functional>

// A TCP connection to an HTTP server; raises ESocketError and EHttpReadTimeout.
class THttpSocketConnection : public THttpConnection {
public:
    THttpSocketConnection(const std::string& host, int port, int connectTimeoutMs,
                          int readTimeoutMs);
    std::size_t Receive(char* buffer, std::size_t size) override;
    void Send(const std::string& data) override;
    void Close() override;
    bool Connected() const override;
    // Called with the bytes of each arrival, and with 0 every intervalMs while a wait goes
    // on; what it raises ends the wait and reaches the caller of Receive.
    void SetProgress(std::function<void(std::size_t)> progress, int intervalMs);

private:
    TTcpSocket FSocket;
    int FReadTimeout;
    std::function<void(std::size_t)> FProgress;
    int FProgressInterval = 100;
};
