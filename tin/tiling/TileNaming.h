#pragma once

#include <osg/BoundingBox>

#include <optional>
#include <string>

namespace osgTAVRI
{

enum TileNaming
{
    CoordsSize = 0,  // "<yMin>_<xMin>_<size>"
    TruncCoords = 1, // "<yMin/d>_<xMin/d>", d the largest of 10000, 1000, 100 dividing the size
    RowCol = 2       // "<row>_<column>"
};

// The numbers a tile's name is made of, in order: "<first>_<second>", and with CoordsSize
// "<first>_<second>_<third>". Two tiles get one name exactly when their keys are equal.
struct TileNameKey
{
    long long first = 0;
    long long second = 0;
    long long third = 0;
};

// The tile's edge length as names use it, truncated toward zero; none when it does not fit
// an int.
std::optional<int> tileNameSize(const osg::BoundingBoxd& tile);

// The key of the tile's name. Coordinates are truncated toward zero; false when one of them
// does not fit an int, so that no name is ever made from an overflowed conversion.
bool tileNameKey(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row, unsigned column,
                 TileNameKey& key);

std::string tileName(TileNaming naming, const TileNameKey& key);

// The name, or an empty string when it cannot be made.
std::string tileName(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row, unsigned column);

} // namespace osgTAVRI
