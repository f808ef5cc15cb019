#pragma once

#include "platform/Exception.h"

// A file that cannot be opened for reading.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};
