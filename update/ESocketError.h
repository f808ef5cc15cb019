#pragma once

#include "platform/Exception.h"

// Resolving, connecting, sending or receiving failed.
class ESocketError : public Exception {
public:
    ESocketError(int code, const std::string& description);
    int Code() const { return FCode; }

private:
    int FCode;
};
