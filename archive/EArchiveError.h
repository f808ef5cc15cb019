#pragma once

#include "shell/TFailReason.h"
#include "platform/Exception.h"

#include <string>

// Every failure of the archive binding: loading the library, opening, extracting. Where the
// binding knows it, the error names the item and the reason.
class EArchiveError : public Exception {
public:
    explicit EArchiveError(const std::string& message, TFailReason reason = TFailReason::Other,
                           std::string item = std::string())
        : Exception(message), FReason(reason), FItem(std::move(item))
    {
    }

    TFailReason Reason() const { return FReason; }
    // The item's path as the archive stores it; empty when the failure is the archive's.
    const std::string& Item() const { return FItem; }

private:
    TFailReason FReason;
    std::string FItem;
};
