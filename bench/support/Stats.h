#pragma once
#include <QElapsedTimer>

#include <algorithm>
#include <vector>

/// Milliseconds since the timer started, as a double.
inline double Now(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

/// The sample at fraction p of the sorted samples (0 for none).
inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

inline double Median(std::vector<double> v)
{
    return Percentile(std::move(v), 0.5);
}
