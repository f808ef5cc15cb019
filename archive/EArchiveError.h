#pragma once

#include "platform/Exception.h"

// Every failure of the archive binding: loading the library, opening, extracting.
class EArchiveError : public Exception {
public:
    explicit EArchiveError(const std::string& message) : Exception(message) {}
};
