#pragma once

#include "tin/las/LasFilter.h"

#include <cstdint>

namespace osgTAVRI
{

// Keeps one point in every `n`: the first of each group, i.e. points 0, n, 2n, ...
// of those that reach it. A file with fewer than n points thus still yields one.
// n of 0 or 1 keeps every point.
class ThinFilter : public LasFilter
{
public:
    explicit ThinFilter(std::uint32_t n);
    bool filter(const LasPoint& point) override;

private:
    std::uint32_t nth;
    std::uint32_t seen = 0;
};

} // namespace osgTAVRI
