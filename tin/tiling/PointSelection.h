#pragma once

#include "tin/las/LasFilter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

// Which points of a file a tile is made of. By default the first returns; with classes, the
// points of those LAS classes of every return instead. Thinning then keeps one point in
// `thinNth` of those, counted per file.
struct PointSelection
{
    std::vector<std::uint16_t> returnNumbers{1};
    std::vector<std::uint8_t> keepClasses;
    std::uint32_t thinNth = 1;

    // Fresh filters, in the order they apply, for reading one file.
    LasFilterList makeFilters() const;

    // "first returns", "classes 2, 9", with ", one in 3" when thinned.
    std::string describe() const;
};

} // namespace osgTAVRI
