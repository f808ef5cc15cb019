#pragma once

#include <cstdint>

// How slow and how long the package download may be before it is given up.
struct TDownloadLimits {
    std::int64_t RateWindowMs = 30 * 1000;
    std::uint64_t MinBytesPerSecond = 8 * 1024;  // average over any RateWindowMs
    std::int64_t TotalMs = 10 * 60 * 1000;
};
