#include "tin/levels/LevelHeights.h"

#include "tin/tiling/TileGrid.h"

#include <cmath>
#include <limits>
#include <utility>

namespace osgTAVRI
{

LevelHeights::LevelHeights(const TileGrid& grid, unsigned cellsPerTile)
    : rows(grid.getNumRows()), columns(grid.getNumColumns()), cells(cellsPerTile), samples(grid.getNumTiles()),
      colours(grid.getNumTiles())
{
}

void LevelHeights::setTile(std::uint64_t tile, std::vector<float> values)
{
    samples[tile] = std::move(values);
}

void LevelHeights::setColours(std::uint64_t tile, std::vector<osg::Vec4ub> lattice)
{
    if (!lattice.empty())
        anyColours = true;
    colours[tile] = std::move(lattice);
}

template <class Found>
void LevelHeights::locate(long i, long j, const Found& found) const
{
    if (i < 0 || j < 0 || i >= getNumVerticesX() || j >= getNumVerticesY())
        return;
    const unsigned column = unsigned(i / cells), row = unsigned(j / cells);
    // The owner first, then the tiles to the west, south and south-west that share the vertex.
    const bool west = i % cells == 0 && column > 0, south = j % cells == 0 && row > 0;
    auto in = [&](unsigned r, unsigned c) {
        if (r >= rows || c >= columns)
            return false;
        const long li = i - long(c) * cells, lj = j - long(r) * cells;
        return found(std::uint64_t(r) * columns + c, std::size_t(lj) * (cells + 1) + std::size_t(li));
    };
    if (in(row, column) || (west && in(row, column - 1)) || (south && in(row - 1, column)))
        return;
    if (west && south)
        in(row - 1, column - 1);
}

float LevelHeights::at(long i, long j) const
{
    float h = std::numeric_limits<float>::quiet_NaN();
    locate(i, j, [&](std::uint64_t tile, std::size_t index) {
        if (samples[tile].empty() || std::isnan(samples[tile][index]))
            return false;
        h = samples[tile][index];
        return true;
    });
    return h;
}

osg::Vec4ub LevelHeights::colourAt(long i, long j) const
{
    osg::Vec4ub colour(0, 0, 0, 0);
    locate(i, j, [&](std::uint64_t tile, std::size_t index) {
        if (colours[tile].empty() || colours[tile][index].a() == 0)
            return false;
        colour = colours[tile][index];
        return true;
    });
    return colour;
}

} // namespace osgTAVRI
