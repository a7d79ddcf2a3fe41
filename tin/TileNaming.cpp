#include "tin/TileNaming.h"

#include <cstdio>

namespace osgTAVRI
{

std::string tileName(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row,
                     unsigned column)
{
    char name[64];
    switch (naming)
    {
    case TruncCoords:
    {
        const int size = int(tile.xMax() - tile.xMin());
        const int d = size % 10000 == 0 ? 10000 : size % 1000 == 0 ? 1000 : size % 100 == 0 ? 100 : 1;
        std::snprintf(name, sizeof name, "%d_%d", int(tile.yMin() / d), int(tile.xMin() / d));
        break;
    }
    case RowCol:
        std::snprintf(name, sizeof name, "%u_%u", row, column);
        break;
    case CoordsSize:
    default:
        std::snprintf(name, sizeof name, "%d_%d_%d", int(tile.yMin()), int(tile.xMin()),
                      int(tile.xMax() - tile.xMin()));
        break;
    }
    return name;
}

} // namespace osgTAVRI
