#include "update/TDownloadWatch.h"

#include "update/EUpdateError.h"

#include <algorithm>

TDownloadWatch::TDownloadWatch(const TDownloadLimits& limits) : FLimits(limits)
{
}

void TDownloadWatch::Received(std::uint64_t bytes, std::int64_t nowMs)
{
    if (!FStarted) {
        FStarted = true;
        FStart = nowMs;
        FSamples.push_back({nowMs, 0});
    }
    FTotal += bytes;
    const std::int64_t elapsed = nowMs - FStart;
    if (elapsed > FLimits.TotalMs)
        throw EUpdateError("the download took too long");

    // Samples a sixty-fourth of the window apart are fine enough and keep the list short
    // however often data arrives.
    const std::int64_t spacing = std::max<std::int64_t>(1, FLimits.RateWindowMs / 64);
    if (nowMs - FSamples.back().Time >= spacing)
        FSamples.push_back({nowMs, FTotal});
    const std::int64_t windowStart = nowMs - FLimits.RateWindowMs;
    while (FSamples.size() > 1 && FSamples[1].Time <= windowStart)
        FSamples.pop_front();
    if (elapsed < FLimits.RateWindowMs)
        return;
    // The base sample lies at or just before the window's start: the span it gives is the
    // window or a little more, never less.
    const TSample& base = FSamples.front();
    const std::uint64_t bytesInWindow = FTotal - base.Total;
    const auto span = static_cast<std::uint64_t>(nowMs - base.Time);
    if (bytesInWindow * 1000 < FLimits.MinBytesPerSecond * span)
        throw EUpdateError("the download is too slow");
}
