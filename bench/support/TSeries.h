#pragma once

#include "BenchRun.h"

#include <string>
#include <vector>

// The runs of one side of a comparison: median and range, never the best alone, since one
// lucky run says little on a shared machine.
class TSeries {
public:
    void Add(const TSample& s) { FRuns.push_back(s); }
    void Add(double wall) { FRuns.push_back(TSample{wall, 0, 0}); }
    size_t Count() const { return FRuns.size(); }

    double Median(double TSample::*field = &TSample::Wall) const;
    double Min(double TSample::*field = &TSample::Wall) const;
    double Max(double TSample::*field = &TSample::Wall) const;
    long PeakKb() const;

    // "median (min-max)" of the wall times, times scale, with the given decimals.
    std::string Text(double scale = 1, int decimals = 3) const;
    // other's time over ours, median and range (the range pairs our slowest with its fastest
    // and the other way round): above 1 means we are faster.
    std::string SpeedAgainst(const TSeries& other) const;

private:
    std::vector<double> Values(double TSample::*field) const;

    std::vector<TSample> FRuns;
};
