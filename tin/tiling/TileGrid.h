#pragma once

#include "tin/tiling/TileNaming.h"

#include <osg/BoundingBox>

#include <cstdint>
#include <string>

namespace osgTAVRI
{

// The square tiles over the extent, numbered row by row from the south-west: tile i lies in
// row i / columns and column i mod columns. Every tile is exactly tileSize wide and high, so
// the last column and row may reach beyond the extent. Bounds and names are computed when
// asked for, so a grid costs the same memory whatever its number of tiles.
class TileGrid
{
public:
    // Lays out the grid over the extent (none when it was never set). False with `error` set
    // when the grid cannot be made: more tiles than fit in 32 bits.
    bool plan(const osg::BoundingBoxd& area, double tileSize, TileNaming tileNaming, std::string& error);

    std::uint64_t getNumTiles() const { return std::uint64_t(rows) * columns; }
    unsigned getNumRows() const { return rows; }
    unsigned getNumColumns() const { return columns; }
    double getTileSize() const { return size; }
    unsigned rowOf(std::uint64_t index) const { return unsigned(index / columns); }
    unsigned columnOf(std::uint64_t index) const { return unsigned(index % columns); }

    double columnMin(unsigned column) const { return extent.xMin() + column * size; }
    double columnMax(unsigned column) const { return extent.xMin() + (double(column) + 1.0) * size; }
    double rowMin(unsigned row) const { return extent.yMin() + row * size; }
    double rowMax(unsigned row) const { return extent.yMin() + (double(row) + 1.0) * size; }

    // Z from the extent's -10000 to 10000.
    osg::BoundingBoxd bounds(unsigned row, unsigned column) const;
    osg::BoundingBoxd bounds(std::uint64_t index) const { return bounds(rowOf(index), columnOf(index)); }

    // Valid for every tile once checkNames() succeeded.
    std::string name(std::uint64_t index) const;

    // Makes sure that every tile gets a name of its own before anything is written. False
    // with one line in `error` when a number of a name does not fit an int, or when two
    // tiles would get the same name; the line then names both.
    bool checkNames(std::string& error) const;

private:
    osg::BoundingBoxd extent;
    double size = 1.0;
    unsigned rows = 0;
    unsigned columns = 0;
    TileNaming naming = CoordsSize;
};

} // namespace osgTAVRI
