#pragma once

#include "update/EHttpError.h"

// No data arrived within the client's read time limit.
class EHttpReadTimeout : public EHttpError {
public:
    EHttpReadTimeout() : EHttpError("Read timed out.") {}
};
