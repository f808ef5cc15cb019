#pragma once

#include "platform/Exception.h"

// The final response's status is not a success; the message is its status line.
class EProtocolReplyError : public Exception {
public:
    EProtocolReplyError(int code, const std::string& statusLine)
        : Exception(statusLine), FCode(code), FStatusLine(statusLine) {}
    int Code() const { return FCode; }
    const std::string& StatusLine() const { return FStatusLine; }

private:
    int FCode;
    std::string FStatusLine;
};
