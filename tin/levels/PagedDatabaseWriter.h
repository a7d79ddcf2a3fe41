#pragma once

#include "tin/imagery/TileTexture.h"
#include "tin/levels/LevelMeshBuilder.h"

#include <osg/Node>

#include <memory>
#include <string>
#include <vector>

namespace osgTAVRI
{

class LevelHeights;
class TileGrid;

// Writes a paged level-of-detail database over the tiles of a grid that lie in the working
// directory: a quadtree whose level k node covers 2^k x 2^k tiles. The root file holds a
// PagedLOD with the top node's coarse surface and the name of the file below it; the file
// of a level k node, in "<root>_levels/", holds one PagedLOD per child with the child's
// coarse surface and its own file (a tile at the bottom, "../<tile>.ive"). All names are
// relative, so the database can be copied or served as a whole. The coarse surfaces come
// from one height lattice sampled from the tiles; the ranges are pixel sizes, chosen so
// that a coarse cell is refined once it would cover pixelsPerCell pixels on screen. Where the
// tiles are textured, every coarse surface wears a texture composed from its children's (the
// tiles' own at the bottom, the level files just written above), so imagery shows at every
// distance. A rerun leaves no level file that the new root does not reach.
class PagedDatabaseWriter
{
public:
    static constexpr double pixelsPerCell = 12.0;

    PagedDatabaseWriter(const TileGrid& grid, const std::string& rootFile, unsigned numThreads);
    ~PagedDatabaseWriter();

    // "<root without .ive>_levels"
    static std::string levelsFolder(const std::string& rootFile);
    // Removes the root of an earlier database before anything else is written, so that a run
    // that stops half-way leaves no root naming files that are not there (or not finished).
    static void removeRoot(const std::string& rootFile);

    // Samples the tiles, writes every level file and then the root, each atomically. False
    // (with one line) when there was no tile to index or a file could not be written.
    bool write();

    unsigned getNumLevels() const { return levels; }
    unsigned getCellsPerTile() const { return cellsPerTile; }

private:
    // The PagedLOD standing for `node` in a file of `folder` ("" for the root's folder,
    // "../" for the levels folder): its coarse surface and the name of its finer content.
    osg::ref_ptr<osg::Node> pagedNode(const LevelNode& node, const std::string& folder) const;
    // The texture of the node's coarse surface over its square, composed from what lies below
    // it; no image when nothing below is textured.
    AreaTexture levelTexture(const LevelNode& node) const;
    void removeStaleLevelFiles(const std::vector<LevelNode>& written) const;
    unsigned chooseCellsPerTile() const;
    void sampleTiles();
    char flags(const LevelNode& node) const;
    bool present(const LevelNode& node) const { return (flags(node) & readableBelow) != 0; }
    std::string finerFile(const LevelNode& node, const std::string& folder) const;
    std::string levelFileName(const LevelNode& node) const;
    bool writeLevelFile(const LevelNode& node) const;

    const TileGrid& grid;
    std::string root;
    std::string folder;
    unsigned threads;
    unsigned levels = 0;
    unsigned cellsPerTile = 1;
    std::unique_ptr<LevelHeights> heights;
    std::unique_ptr<LevelMeshBuilder> meshes;
    // presence[k][row * columns(k) + column]: whether some readable (and some textured) tile
    // lies below the node.
    enum : char { readableBelow = 1, texturedBelow = 2 };
    std::vector<std::vector<char>> presence;
    // Texels along a coarse texture's edge: no more than the surface shows before it is
    // replaced, nor than the tiles have.
    int levelTextureEdge = 0;
    std::uint64_t tileBytes = 0; // of the readable tiles
};

} // namespace osgTAVRI
