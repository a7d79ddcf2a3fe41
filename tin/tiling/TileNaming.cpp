#include "tin/tiling/TileNaming.h"

#include <climits>
#include <cstdio>

namespace osgTAVRI
{

namespace
{
// (int)v without undefined behaviour: NaN and values whose truncation lies outside int's
// range are refused.
bool truncateToInt(double v, long long& out)
{
    if (!(v > double(INT_MIN) - 1.0 && v < double(INT_MAX) + 1.0))
        return false;
    out = static_cast<int>(v);
    return true;
}
} // namespace

std::optional<int> tileNameSize(const osg::BoundingBoxd& tile)
{
    long long s = 0;
    if (!truncateToInt(tile.xMax() - tile.xMin(), s))
        return std::nullopt;
    return int(s);
}

bool tileNameKey(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row, unsigned column,
                 TileNameKey& key)
{
    key = TileNameKey();
    switch (naming)
    {
    case RowCol:
        key.first = row;
        key.second = column;
        return true;
    case TruncCoords:
    {
        const std::optional<int> named = tileNameSize(tile);
        if (!named)
            return false;
        const int size = *named;
        const int d = size % 10000 == 0 ? 10000 : size % 1000 == 0 ? 1000 : size % 100 == 0 ? 100 : 1;
        return truncateToInt(tile.yMin() / d, key.first) && truncateToInt(tile.xMin() / d, key.second);
    }
    case CoordsSize:
    default:
        return truncateToInt(tile.yMin(), key.first) && truncateToInt(tile.xMin(), key.second) &&
               truncateToInt(tile.xMax() - tile.xMin(), key.third);
    }
}

std::string tileName(TileNaming naming, const TileNameKey& key)
{
    char name[96];
    if (naming == CoordsSize)
        std::snprintf(name, sizeof name, "%lld_%lld_%lld", key.first, key.second, key.third);
    else
        std::snprintf(name, sizeof name, "%lld_%lld", key.first, key.second);
    return name;
}

std::string tileName(TileNaming naming, const osg::BoundingBoxd& tile, unsigned row, unsigned column)
{
    TileNameKey key;
    return tileNameKey(naming, tile, row, column, key) ? tileName(naming, key) : std::string();
}

} // namespace osgTAVRI
