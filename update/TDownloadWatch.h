#pragma once

#include "update/TDownloadLimits.h"

#include <cstdint>
#include <deque>

// Holds a download to its limits. The caller reports every arrival, and the idle moments
// in between, with the time it happened at.
class TDownloadWatch {
public:
    explicit TDownloadWatch(const TDownloadLimits& limits);

    // bytes (maybe 0) arrived at nowMs, a time in milliseconds that never goes back; the
    // first call starts the clock. Raises EUpdateError when the average over the last
    // window has fallen below the minimum rate or the whole time is up.
    void Received(std::uint64_t bytes, std::int64_t nowMs);
    std::uint64_t Total() const { return FTotal; }

private:
    struct TSample {
        std::int64_t Time;
        std::uint64_t Total;
    };

    TDownloadLimits FLimits;
    bool FStarted = false;
    std::int64_t FStart = 0;
    std::uint64_t FTotal = 0;
    // Totals at past moments, oldest first; one at or before the window's start is kept.
    std::deque<TSample> FSamples;
};
