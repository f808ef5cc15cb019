#pragma once

#include "platform/Exception.h"

// An install record that cannot be trusted: damaged, cut short, or of a later format.
class ERecordError : public Exception {
public:
    enum class TKind { Damaged, Newer };
    ERecordError(TKind kind, const std::string& message) : Exception(message), Kind(kind) {}
    const TKind Kind;
};
