#pragma once

#include <algorithm>

namespace osgTAVRI
{

// One axis of a tile's read box: the tile's [lo, hi] widened on each side by 5 % of its
// size. Reading a tile by itself and reading all tiles in one pass both decide with this
// one piece of arithmetic, which keeps their points, and so their tiles, identical.
class ReadSpan
{
public:
    ReadSpan(double lo, double hi)
        : margin(0.05 * (hi - lo)), min(lo - margin), max(hi + margin), centre((lo + hi) / 2.0)
    {
    }

    // Edges included.
    bool holds(double v) const { return v >= min && v <= max; }

    // Closed intervals; touching counts. A NaN bound of [lo, hi] never meets.
    bool meets(double lo, double hi) const { return std::max(lo, min) <= std::min(hi, max); }

    double getMin() const { return min; }
    double getMax() const { return max; }
    double getCentre() const { return centre; }

private:
    double margin;
    double min;
    double max;
    double centre;
};

// A tile's box reaches this far below and above zero; heights outside are never part of a tile.
constexpr double tileHeightBound = 10000.0;
inline bool holdsHeight(double z) { return z >= -tileHeightBound && z <= tileHeightBound; }

} // namespace osgTAVRI
