#include "tin/tiling/TileGrid.h"


#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace osgTAVRI
{

namespace
{
const double maxTiles = 4294967295.0;

// Visits the positions 0 .. count - 1 that `member` accepts, in order, with their keys.
// Tile coordinates grow with the row and the column and truncation keeps their order, so
// the keys of one walk never decrease: equal keys are neighbours, and two walks can be
// intersected like sorted lists.
template <typename Key>
class KeyWalk
{
public:
    KeyWalk(unsigned total, std::function<bool(unsigned)> accepts, std::function<bool(unsigned, Key&)> keyAt)
        : count(total), member(std::move(accepts)), keyOf(std::move(keyAt))
    {
    }

    // Moves to the next member; false at the end or when its key cannot be made (`failed`).
    bool next()
    {
        for (unsigned p = started ? position + 1 : 0; p < count; ++p)
            if (member(p))
            {
                started = true;
                position = p;
                failed = !keyOf(p, key);
                return !failed;
            }
        position = count;
        return false;
    }

    unsigned position = 0;
    Key key{};
    bool failed = false;

private:
    unsigned count;
    std::function<bool(unsigned)> member;
    std::function<bool(unsigned, Key&)> keyOf;
    bool started = false;
};

template <typename Key>
bool findRepeat(KeyWalk<Key>& walk, unsigned& a, unsigned& b)
{
    bool have = false;
    Key last{};
    while (walk.next())
    {
        if (have && walk.key == last)
        {
            b = walk.position;
            return true;
        }
        have = true;
        last = walk.key;
        a = walk.position;
    }
    return false;
}

template <typename Key>
bool findCommon(KeyWalk<Key>& one, KeyWalk<Key>& other)
{
    bool more = one.next() && other.next();
    while (more)
    {
        if (one.key == other.key)
            return true;
        more = one.key < other.key ? one.next() : other.next();
    }
    return false;
}
} // namespace

bool TileGrid::plan(const osg::BoundingBoxd& area, double tileSize, TileNaming tileNaming, std::string& error)
{
    extent = area;
    size = tileSize;
    naming = tileNaming;
    rows = columns = 0;
    if (!extent.valid())
        return true;
    const double columnsD = std::ceil((extent.xMax() - extent.xMin()) / size);
    const double rowsD = std::ceil((extent.yMax() - extent.yMin()) / size);
    if (!(columnsD * rowsD <= maxTiles))
    {
        error = "the extent would make more tiles than fit in 32 bits";
        return false;
    }
    columns = unsigned(columnsD);
    rows = unsigned(rowsD);
    return true;
}

osg::BoundingBoxd TileGrid::bounds(unsigned row, unsigned column) const
{
    return osg::BoundingBoxd(columnMin(column), rowMin(row), extent.zMin(), columnMax(column), rowMax(row),
                             extent.zMax());
}

std::string TileGrid::name(std::uint64_t index) const
{
    return tileName(naming, bounds(index), rowOf(index), columnOf(index));
}

bool TileGrid::checkNames(std::string& error) const
{
    if (getNumTiles() == 0 || naming == RowCol)
        return true;
    const std::string beyond = "the extent lies beyond the range of tile names";

    // The first number of a name depends on the row and, with TruncCoords, on the divisor
    // that the tile's edge length gives; the others on the column alone. So the columns are
    // grouped by edge length, which rounding may vary, and each group is checked for rows
    // and columns that repeat a number, and against the other groups.
    struct Group
    {
        int size;
        unsigned column; // the group's first column
    };
    std::vector<Group> groups;
    for (unsigned c = 0; c < columns; ++c)
    {
        const std::optional<int> s = tileNameSize(bounds(0, c));
        if (!s)
        {
            error = beyond;
            return false;
        }
        bool known = false;
        for (const Group& g : groups)
            known = known || g.size == *s;
        if (!known)
            groups.push_back({*s, c});
    }

    using ColumnKey = std::pair<long long, long long>;
    auto rowWalk = [this](const Group& g) {
        return KeyWalk<long long>(rows, [](unsigned) { return true; }, [this, g](unsigned r, long long& key) {
            TileNameKey k;
            const bool ok = tileNameKey(naming, bounds(r, g.column), r, g.column, k);
            key = k.first;
            return ok;
        });
    };
    auto columnWalk = [this](const Group& g) {
        return KeyWalk<ColumnKey>(
            columns,
            [this, g](unsigned c) {
                return tileNameSize(bounds(0, c)) == g.size;
            },
            [this](unsigned c, ColumnKey& key) {
                TileNameKey k;
                const bool ok = tileNameKey(naming, bounds(0, c), 0, c, k);
                key = ColumnKey(k.second, k.third);
                return ok;
            });
    };
    auto clash = [this, &error](unsigned r1, unsigned c1, unsigned r2, unsigned c2) {
        error = "Tile names clash: the tiles at row " + std::to_string(r1) + ", column " + std::to_string(c1) +
                " and at row " + std::to_string(r2) + ", column " + std::to_string(c2) + " would both be named \"" +
                tileName(naming, bounds(r1, c1), r1, c1) + "\"; choose another tile size, extent or naming";
        return false;
    };

    for (const Group& g : groups)
    {
        unsigned a = 0, b = 0;
        KeyWalk<long long> byRow = rowWalk(g);
        if (findRepeat(byRow, a, b))
            return clash(a, g.column, b, g.column);
        KeyWalk<ColumnKey> byColumn = columnWalk(g);
        if (findRepeat(byColumn, a, b))
            return clash(0, a, 0, b);
        if (byRow.failed || byColumn.failed)
        {
            error = beyond;
            return false;
        }
    }
    for (std::size_t i = 0; i < groups.size(); ++i)
        for (std::size_t j = i + 1; j < groups.size(); ++j)
        {
            KeyWalk<long long> rowsI = rowWalk(groups[i]), rowsJ = rowWalk(groups[j]);
            KeyWalk<ColumnKey> columnsI = columnWalk(groups[i]), columnsJ = columnWalk(groups[j]);
            if (findCommon(rowsI, rowsJ) && findCommon(columnsI, columnsJ))
                return clash(rowsI.position, columnsI.position, rowsJ.position, columnsJ.position);
        }
    return true;
}

} // namespace osgTAVRI
