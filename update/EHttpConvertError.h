#pragma once

#include "platform/Exception.h"

// A text that should have been an integer was not.
class EHttpConvertError : public Exception {
public:
    explicit EHttpConvertError(const std::string& text);
};
