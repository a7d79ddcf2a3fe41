#pragma once

#include <osg/BoundingBox>
#include <osg/Node>
#include <osg/Vec4ub>
#include <osg/ref_ptr>

namespace osgTAVRI
{

class LevelHeights;
class TileGrid;

// One node of the quadtree over the tile grid: at level 0 a tile, at level k the square of
// 2^k x 2^k tiles whose south-west tile is (row * 2^k, column * 2^k).
struct LevelNode
{
    unsigned level = 0;
    unsigned row = 0;
    unsigned column = 0;
};

// Builds the coarse surface that stands for a quadtree node until its finer content is
// paged in: the shared lattice sampled every 2^level-th vertex over the node's square (so it
// holds about a quarter of the triangles of the four nodes below), normals from the lattice
// (the same on both sides of a border), vertex colours averaged from the lattice's where the
// tiles have them, texture coordinates running 0 to 1 over the square,
// and a skirt along the square's edge that hides the cracks against a neighbour drawn at
// another level.
class LevelMeshBuilder
{
public:
    LevelMeshBuilder(const TileGrid& grid, const LevelHeights& heights);

    // Edge of one lattice cell at the node's level, in metres.
    double cellSize(unsigned level) const;
    // The node's square, z from its lowest to its highest sample (invalid when it has none).
    osg::BoundingBoxd bounds(const LevelNode& node) const;

    // MatrixTransform(centre of the square) -> Geode -> Geometry, or null when no cell of the
    // square has ground.
    osg::ref_ptr<osg::Node> build(const LevelNode& node) const;

private:
    osg::Vec4ub averageColour(long i, long j, long step) const;

    const TileGrid& grid;
    const LevelHeights& heights;
};

} // namespace osgTAVRI
