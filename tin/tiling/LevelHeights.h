#pragma once

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

class TileGrid;

// The ground of the whole tile grid as one lattice of heights, `cellsPerTile` cells along
// each tile's edge: lattice vertex (i, j) lies at (xMin + i * tileSize / cellsPerTile, yMin +
// j * ...). Every level samples the same lattice, level k every 2^k-th vertex, so neighbours
// of one level share their border vertices exactly and a coarser border is a subset of a
// finer one.
class LevelHeights
{
public:
    LevelHeights(const TileGrid& grid, unsigned cellsPerTile);

    unsigned getCellsPerTile() const { return cells; }
    long getNumVerticesX() const { return long(columns) * cells + 1; }
    long getNumVerticesY() const { return long(rows) * cells + 1; }

    // A tile's (cells + 1)^2 samples, row by row from the south (TileSampler::sampleLattice).
    void setTile(std::uint64_t tile, std::vector<float> samples);
    bool hasTile(std::uint64_t tile) const { return !samples[tile].empty(); }

    // The height at lattice vertex (i, j): from the tile that owns the vertex (tiles are
    // closed at their minimum edges), else from a neighbour sharing it; NaN outside the grid
    // and where no tile has ground.
    float at(long i, long j) const;

private:
    float sample(unsigned row, unsigned column, long i, long j) const;

    unsigned rows;
    unsigned columns;
    unsigned cells;
    std::vector<std::vector<float>> samples; // per tile, empty when it has none
};

} // namespace osgTAVRI
