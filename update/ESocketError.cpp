#include "update/ESocketError.h"

ESocketError::ESocketError(int code, const std::string& description)
    : Exception("Socket Error # " + std::to_string(code) + "\n" + description), FCode(code)
{
}
