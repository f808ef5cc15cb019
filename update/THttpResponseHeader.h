#pragma once

#include <cstdint>
#include <string>

// What the client uses of a response's status line and header lines.
class THttpResponseHeader {
public:
    std::string StatusLine;
    int StatusCode = 0;
    bool Server10 = false;  // the server speaks HTTP/1.0
    bool HasLocation = false;
    std::string Location;
    std::string Connection;
    std::int64_t ContentLength = -1;  // -1 when absent
    std::string TransferEncoding;

    bool IsChunked() const;
    bool WantsClose() const;  // "Connection: close"
    // Statuses that never carry a body, whatever the headers say.
    bool HasNoBody() const;
};
