#include "tin/tiling/LevelHeights.h"

#include "tin/tiling/TileGrid.h"

#include <cmath>
#include <limits>
#include <utility>

namespace osgTAVRI
{

LevelHeights::LevelHeights(const TileGrid& grid, unsigned cellsPerTile)
    : rows(grid.getNumRows()), columns(grid.getNumColumns()), cells(cellsPerTile), samples(grid.getNumTiles())
{
}

void LevelHeights::setTile(std::uint64_t tile, std::vector<float> values)
{
    samples[tile] = std::move(values);
}

float LevelHeights::sample(unsigned row, unsigned column, long i, long j) const
{
    if (row >= rows || column >= columns)
        return std::numeric_limits<float>::quiet_NaN();
    const std::vector<float>& tile = samples[std::uint64_t(row) * columns + column];
    if (tile.empty())
        return std::numeric_limits<float>::quiet_NaN();
    const long li = i - long(column) * cells, lj = j - long(row) * cells;
    return tile[std::size_t(lj) * (cells + 1) + std::size_t(li)];
}

float LevelHeights::at(long i, long j) const
{
    if (i < 0 || j < 0 || i >= getNumVerticesX() || j >= getNumVerticesY())
        return std::numeric_limits<float>::quiet_NaN();
    const unsigned column = unsigned(i / cells), row = unsigned(j / cells);
    // The owner first, then the tiles to the west, south and south-west that share the vertex.
    const bool west = i % cells == 0 && column > 0, south = j % cells == 0 && row > 0;
    float h = sample(row, column, i, j);
    if (std::isnan(h) && west)
        h = sample(row, column - 1, i, j);
    if (std::isnan(h) && south)
        h = sample(row - 1, column, i, j);
    if (std::isnan(h) && west && south)
        h = sample(row - 1, column - 1, i, j);
    return h;
}

} // namespace osgTAVRI
