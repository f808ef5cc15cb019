#pragma once

#include "platform/Exception.h"

// A failed step of the self-update: a malformed or unauthenticated notice, a package that
// does not match it, a swap that could not be made.
class EUpdateError : public Exception {
public:
    explicit EUpdateError(const std::string& message) : Exception(message) {}
};
