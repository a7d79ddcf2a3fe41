#pragma once

#include <osg/Array>
#include <osg/BoundingBox>
#include <osg/ref_ptr>

#include <cstdint>
#include <string>
#include <vector>

namespace tavritest
{

// The plain way of reading a tile, one file after the other with no sharing between tiles:
// the reference that tests and benchmarks hold tin's distribution against.
// Collects the points of every file that fall inside the tile enlarged by 5 % on each
// side, after the return and thin filters, as (x - cx, y - cy, z) relative to the
// tile's centre. A file that cannot be opened or read is reported in one line and
// contributes nothing; the array is never null.
osg::ref_ptr<osg::Vec3dArray> readTilePoints(const std::vector<std::uint16_t>& returnNumbers,
                                             std::uint32_t thinNth,
                                             const std::vector<std::string>& files,
                                             const osg::BoundingBoxd& bounds);

} // namespace tavritest
