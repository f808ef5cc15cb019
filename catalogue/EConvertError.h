#pragma once

#include "platform/Exception.h"

// Text that should have been a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
