#pragma once

#include <cstddef>
#include <string>

// The byte transport under the client: a socket in the program, memory in the fuzzer.
class THttpConnection {
public:
    virtual ~THttpConnection() = default;
    // Up to size bytes; 0 when the peer has closed. Raises on failure or time-out.
    virtual std::size_t Receive(char* buffer, std::size_t size) = 0;
    virtual void Send(const std::string& data) = 0;
    virtual void Close() = 0;
    // Open and fit for another request: a connection the server has since closed is not.
    virtual bool Connected() const = 0;
};
