#pragma once

#include <osg/BoundingBox>

#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

// Everything one worker needs for one tile; each job is a private copy.
struct TileJob
{
    std::string name;
    std::vector<std::string> files;
    osg::BoundingBoxd bounds;
    std::uint32_t thinNth = 1;
    bool noTrim = false;
    double maxError = double(FLT_MAX);
};

} // namespace osgTAVRI
