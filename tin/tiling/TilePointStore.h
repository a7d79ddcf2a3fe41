#pragma once

#include <osg/Array>
#include <osg/ref_ptr>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace osgTAVRI
{

// The points of every tile of a run, gathered while the inputs are read once and taken out
// tile by tile when the tiles are built. A tile's points lie in blocks that are never moved
// once filled; a tile that fits in one block is handed over without a copy. Beyond the
// memory budget the points held so far go, tile by tile, to one hidden temporary file in
// `folder`, and come back from it in the order they were added.
class TilePointStore
{
public:
    // `folder` "" is the working directory.
    TilePointStore(std::uint64_t memoryBudget, const std::string& folder = "");
    ~TilePointStore();
    TilePointStore(const TilePointStore&) = delete;
    TilePointStore& operator=(const TilePointStore&) = delete;

    void add(std::uint64_t tile, const osg::Vec3d& point);

    // Makes room for up to `points` more points of the tile, so that they arrive in one
    // block. Room that stays unused is address space only: its pages are never touched.
    void expect(std::uint64_t tile, std::uint64_t points);

    // What is added after beginFile() can be taken back with dropFile(), for a file that turns
    // out to be damaged halfway.
    void beginFile();
    void dropFile();

    std::uint64_t count(std::uint64_t tile) const;

    // Every point of the tile in the order it was added (none for a tile never seen); the
    // store then holds none of them. Once adding is over, threads may take different tiles at
    // the same time. Throws std::runtime_error when the temporary file cannot be read.
    osg::ref_ptr<osg::Vec3dArray> take(std::uint64_t tile);

    // Forgets the tile's points without reading them back.
    void drop(std::uint64_t tile);

    std::uint64_t getSpilledBytes() const { return fileEnd; }
    std::uint64_t getBudget() const { return budget; }

private:
    struct Chunk
    {
        std::uint64_t offset;
        std::uint64_t count;
    };
    typedef std::vector<osg::Vec3d> Block;
    struct Tile
    {
        std::vector<Block> blocks;       // in memory, after the spilled ones; only the last grows
        std::uint64_t held = 0;          // points in the blocks
        std::vector<Chunk> chunks;       // in the temporary file, in order
        std::uint64_t spilled = 0;
        std::uint64_t mark = 0;          // count when the current file began
        std::uint64_t generation = 0;
    };

    Tile& lookup(std::uint64_t tile);
    void startBlock(Tile& t, std::uint64_t capacity);
    static void keepFirst(Tile& t, std::uint64_t points);
    void spill();
    bool writeOut(const char* data, std::size_t bytes);
    void giveUpSpilling(const std::string& reason);

    std::uint64_t budget;
    std::string folder;
    std::unordered_map<std::uint64_t, Tile> tiles;
    // The last few tiles seen: neighbouring points mostly go to the same ones.
    struct Recent
    {
        std::uint64_t tile = ~std::uint64_t(0);
        Tile* entry = nullptr;
    };
    Recent recent[4];
    unsigned recentNext = 0;

    std::uint64_t memoryBytes = 0;
    std::uint64_t generation = 0;
    std::vector<Tile*> touched; // tiles that got points since beginFile()

    std::string spillPath;
    int spillFile = -1;
    bool spillFailed = false;
    std::uint64_t fileEnd = 0;
};

} // namespace osgTAVRI
