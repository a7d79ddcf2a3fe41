#pragma once

#include <osg/Vec4ub>

#include <atomic>
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
    // A tile's lattice colours (TileSampler::averageColours), for tiles with vertex colours.
    void setColours(std::uint64_t tile, std::vector<osg::Vec4ub> lattice);
    bool hasColours() const { return anyColours; }

    // The height at lattice vertex (i, j): from the tile that owns the vertex (tiles are
    // closed at their minimum edges), else from a neighbour sharing it; NaN outside the grid
    // and where no tile has ground.
    float at(long i, long j) const;
    // The colour there, found the same way; alpha 0 where no tile has one.
    osg::Vec4ub colourAt(long i, long j) const;

private:
    // Where lattice vertex (i, j) lies in a tile's samples, the owner first and then the
    // neighbours that share it, up to the first for which `found(tile, index)` is true.
    template <class Found>
    void locate(long i, long j, const Found& found) const;

    unsigned rows;
    unsigned columns;
    unsigned cells;
    std::vector<std::vector<float>> samples; // per tile, empty when it has none
    std::vector<std::vector<osg::Vec4ub>> colours; // the same
    std::atomic<bool> anyColours{false};            // tiles are set from several threads
};

} // namespace osgTAVRI
