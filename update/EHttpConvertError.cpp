#include "update/EHttpConvertError.h"

EHttpConvertError::EHttpConvertError(const std::string& text)
    : Exception("'" + text + "' is not a valid integer value")
{
}
