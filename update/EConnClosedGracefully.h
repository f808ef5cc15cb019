#pragma once

#include "platform/Exception.h"

// The server closed the connection while more of the response was expected.
class EConnClosedGracefully : public Exception {
public:
    EConnClosedGracefully() : Exception("Connection Closed Gracefully.") {}
};
