#pragma once

#include "platform/TTcpSocket.h"
#include "update/THttpConnection.h"

// A TCP connection to an HTTP server; raises ESocketError and EHttpReadTimeout.
class THttpSocketConnection : public THttpConnection {
public:
    THttpSocketConnection(const std::string& host, int port, int connectTimeoutMs,
                          int readTimeoutMs);
    std::size_t Receive(char* buffer, std::size_t size) override;
    void Send(const std::string& data) override;
    void Close() override;
    bool Connected() const override;

private:
    TTcpSocket FSocket;
    int FReadTimeout;
};
