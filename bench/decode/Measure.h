#pragma once
#include <cstddef>
#include <functional>
#include <vector>

/// Wall-clock seconds of one call.
double TimeOnce(const std::function<void()>& fn);

/// The middle value of the samples (the mean of the two middle ones for an
/// even count); the samples are reordered.
double Median(std::vector<double>& samples);

/// Resident memory a call adds at its peak, in bytes, measured in a forked
/// child so that nothing the call leaves behind affects later runs. `prepare`
/// runs in the child before the baseline is taken (e.g. to make the input's
/// pages resident), `fn` after it. Returns -1 when it cannot be measured.
long long PeakResidentGrowth(const std::function<void()>& prepare, const std::function<void()>& fn);
