#pragma once

#include "platform/Exception.h"

// A response or URL the client refuses: a size limit crossed, broken framing, a scheme
// other than plain http.
class EHttpError : public Exception {
public:
    explicit EHttpError(const std::string& message) : Exception(message) {}
};
