#pragma once

#include <osg/BoundingBox>

#include <string>

namespace osgTAVRI
{

enum TileNaming
{
    CoordsSize = 0,  // "<yMin>_<xMin>_<size>"
    TruncCoords = 1, // "<yMin/d>_<xMin/d>", d the largest of 10000, 1000, 100 dividing the size
    RowCol = 2       // "<row>_<column>"
};

std::string tileName(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row,
                     unsigned column);

} // namespace osgTAVRI
