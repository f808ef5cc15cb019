#include "TSeries.h"

#include <algorithm>
#include <cstdio>

std::vector<double> TSeries::Values(double TSample::*field) const
{
    std::vector<double> v;
    for (const TSample& s : FRuns)
        v.push_back(s.*field);
    std::sort(v.begin(), v.end());
    return v;
}

double TSeries::Median(double TSample::*field) const
{
    const std::vector<double> v = Values(field);
    if (v.empty())
        return 0;
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double TSeries::Min(double TSample::*field) const
{
    const std::vector<double> v = Values(field);
    return v.empty() ? 0 : v.front();
}

double TSeries::Max(double TSample::*field) const
{
    const std::vector<double> v = Values(field);
    return v.empty() ? 0 : v.back();
}

long TSeries::PeakKb() const
{
    long m = 0;
    for (const TSample& s : FRuns)
        m = std::max(m, s.PeakKb);
    return m;
}

std::string TSeries::Text(double scale, int decimals) const
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%.*f (%.*f-%.*f)", decimals, Median() * scale, decimals, Min() * scale,
                  decimals, Max() * scale);
    return buffer;
}

std::string TSeries::SpeedAgainst(const TSeries& other) const
{
    char buffer[64];
    const double med = Median(), lo = Min(), hi = Max();
    std::snprintf(buffer, sizeof buffer, "%.2fx (%.2f-%.2f)", med > 0 ? other.Median() / med : 0,
                  hi > 0 ? other.Min() / hi : 0, lo > 0 ? other.Max() / lo : 0);
    return buffer;
}
