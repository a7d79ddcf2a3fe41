#pragma once

#include <algorithm>
#include <vector>

namespace tavribench
{

// The middle value: what the benchmarks quote of repeated runs or frames, so that a run
// slowed by the rest of a shared machine does not move it.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace tavribench
