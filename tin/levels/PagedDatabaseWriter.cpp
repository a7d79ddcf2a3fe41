#include "tin/levels/PagedDatabaseWriter.h"

#include "common/AtomicSceneFile.h"
#include "tin/levels/LevelHeights.h"
#include "tin/tiling/TileGrid.h"
#include "tin/levels/TileSampler.h"

#include <OpenThreads/Thread>
#include <osg/Notify>
#include <osg/PagedLOD>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace osgTAVRI
{

namespace
{
// Runs work(0 .. count - 1) on `threads` threads, each taking the next index not yet taken.
class ParallelLoop : public OpenThreads::Thread
{
public:
    ParallelLoop(std::atomic<std::uint64_t>& nextIndex, std::uint64_t total,
                 const std::function<void(std::uint64_t)>& task)
        : next(nextIndex), count(total), work(task)
    {
    }

    void run() override
    {
        for (std::uint64_t i = next++; i < count; i = next++)
            work(i);
    }

    static void forEach(std::uint64_t total, unsigned threads, const std::function<void(std::uint64_t)>& task)
    {
        std::atomic<std::uint64_t> next{0};
        std::vector<std::unique_ptr<ParallelLoop>> loops;
        for (unsigned t = 1; t < std::min<std::uint64_t>(threads, total); ++t)
        {
            loops.emplace_back(new ParallelLoop(next, total, task));
            if (loops.back()->startThread() != 0)
                loops.pop_back();
        }
        ParallelLoop(next, total, task).run();
        for (auto& loop : loops)
            loop->join();
    }

private:
    std::atomic<std::uint64_t>& next;
    std::uint64_t count;
    const std::function<void(std::uint64_t)>& work;
};

unsigned nodesAlong(unsigned tiles, unsigned level)
{
    return unsigned((std::uint64_t(tiles) + (std::uint64_t(1) << level) - 1) >> level);
}

std::uint64_t fileSize(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? std::uint64_t(info.st_size) : 0;
}

osg::ref_ptr<osgDB::Options> uncachedReading()
{
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_NONE);
    return options;
}
} // namespace

PagedDatabaseWriter::PagedDatabaseWriter(const TileGrid& tileGrid, const std::string& rootFile, unsigned numThreads)
    : grid(tileGrid), root(rootFile), folder(levelsFolder(rootFile)), threads(std::max(numThreads, 1u))
{
    const unsigned longest = std::max(grid.getNumRows(), grid.getNumColumns());
    while ((std::uint64_t(1) << levels) < longest)
        ++levels;
}

PagedDatabaseWriter::~PagedDatabaseWriter() = default;

std::string PagedDatabaseWriter::levelsFolder(const std::string& rootFile)
{
    return osgDB::getNameLessExtension(rootFile) + "_levels";
}

void PagedDatabaseWriter::removeRoot(const std::string& rootFile)
{
    std::remove(rootFile.c_str());
}

unsigned PagedDatabaseWriter::chooseCellsPerTile() const
{
    // The median tile by file size decides, so that one dense or sparse tile does not; its
    // triangles are counted, since a texture in the file says nothing about them (a file
    // without one holds about one triangle per 27 bytes). The largest power of two n with
    // 2 n^2 at most a quarter of a tile's triangles keeps every level at a quarter of the one
    // below, or a little less.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sizes; // bytes, tile
    for (std::uint64_t tile = 0; tile < grid.getNumTiles(); ++tile)
        if (const std::uint64_t bytes = fileSize(grid.name(tile) + ".ive"))
            sizes.emplace_back(bytes, tile);
    if (sizes.empty())
        return 0;
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    const auto median = sizes[sizes.size() / 2];
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(grid.name(median.second) + ".ive", uncachedReading().get());
    const double triangles = node.valid() ? double(TileSampler(*node).getNumTriangles()) : double(median.first) / 27.0;
    unsigned cells = 2;
    while (cells < 128 && 2.0 * (2 * cells) * (2 * cells) <= triangles / 4.0)
        cells *= 2;
    return cells;
}

void PagedDatabaseWriter::sampleTiles()
{
    osg::ref_ptr<osgDB::Options> options = uncachedReading();
    std::vector<std::uint64_t> bytes(grid.getNumTiles(), 0);
    std::vector<int> textureEdges(grid.getNumTiles(), 0);
    ParallelLoop::forEach(grid.getNumTiles(), threads, [&](std::uint64_t tile) {
        const std::string file = grid.name(tile) + ".ive";
        const std::uint64_t size = fileSize(file);
        if (size == 0)
            return; // a tile without points has no file
        osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(file, options.get());
        if (!node.valid())
        {
            OSG_WARN << "Paged database " << root << ": tile " << file
                     << " cannot be read; the levels leave it out" << std::endl;
            return;
        }
        const osg::BoundingBoxd box = grid.bounds(tile);
        const TileSampler sampler(*node);
        heights->setTile(tile, sampler.sampleLattice(box.xMin(), box.yMin(), grid.getTileSize(), cellsPerTile));
        heights->setColours(tile, sampler.averageColours(box.xMin(), box.yMin(), grid.getTileSize(), cellsPerTile));
        bytes[tile] = size;
        const AreaTexture texture = tileTexture(*node);
        if (texture.image.valid())
            textureEdges[tile] = std::max(texture.image->s(), texture.image->t());
    });
    for (std::uint64_t b : bytes)
        tileBytes += b;

    // A coarse surface is replaced once its cells would cover pixelsPerCell pixels, so its
    // square never spans many more than cellsPerTile * pixelsPerCell pixels on screen.
    int shown = 1;
    while (shown < cellsPerTile * pixelsPerCell)
        shown *= 2;
    const int largest = *std::max_element(textureEdges.begin(), textureEdges.end());
    levelTextureEdge = std::min(shown, largest);
    presence.assign(levels + 1, std::vector<char>());
    presence[0].resize(grid.getNumTiles());
    for (std::uint64_t tile = 0; tile < grid.getNumTiles(); ++tile)
        presence[0][tile] = char((heights->hasTile(tile) ? readableBelow : 0) | (textureEdges[tile] > 0 ? texturedBelow : 0));
}

char PagedDatabaseWriter::flags(const LevelNode& node) const
{
    if (node.row >= nodesAlong(grid.getNumRows(), node.level) ||
        node.column >= nodesAlong(grid.getNumColumns(), node.level))
        return 0;
    return presence[node.level][std::size_t(node.row) * nodesAlong(grid.getNumColumns(), node.level) + node.column];
}

std::string PagedDatabaseWriter::levelFileName(const LevelNode& node) const
{
    return "L" + std::to_string(node.level) + "_" + std::to_string(node.row) + "_" +
           std::to_string(node.column) + ".ive";
}

std::string PagedDatabaseWriter::finerFile(const LevelNode& node, const std::string& from) const
{
    if (node.level == 0)
        return from + grid.name(std::uint64_t(node.row) * grid.getNumColumns() + node.column) + ".ive";
    // From the root's folder the levels are one folder down; from the levels folder, here.
    return (from.empty() ? osgDB::getSimpleFileName(folder) + "/" : std::string()) + levelFileName(node);
}

osg::ref_ptr<osg::Node> PagedDatabaseWriter::pagedNode(const LevelNode& node, const std::string& from) const
{
    const double side = std::ldexp(grid.getTileSize(), int(node.level));
    const osg::BoundingBoxd box = meshes->bounds(node);
    const double x0 = grid.columnMin(0) + node.column * side, y0 = grid.rowMin(0) + node.row * side;
    const double zMid = box.valid() ? box.center().z() : 0.0;
    const double dz = box.valid() ? box.zMax() - box.zMin() : 0.0;
    // A tile's trimmed triangles and the skirts reach a little beyond the square.
    const double half = 0.55 * side;
    const double radius = std::sqrt(2.0 * half * half + dz * dz / 4.0);
    const float switchAt = float(2.0 * radius * pixelsPerCell / meshes->cellSize(node.level));

    osg::ref_ptr<osg::PagedLOD> lod = new osg::PagedLOD;
    lod->setName(node.level == 0 ? grid.name(std::uint64_t(node.row) * grid.getNumColumns() + node.column)
                                 : osgDB::getNameLessExtension(levelFileName(node)));
    lod->setCenterMode(osg::LOD::USER_DEFINED_CENTER);
    lod->setCenter(osg::Vec3d(x0 + side / 2, y0 + side / 2, zMid));
    lod->setRadius(radius);
    lod->setRangeMode(osg::LOD::PIXEL_SIZE_ON_SCREEN);
    osg::ref_ptr<osg::Node> coarse = meshes->build(node);
    if (!coarse.valid())
        coarse = new osg::Group;
    else if (osg::Geometry* geometry = tileGeometry(*coarse))
        applyTexture(*geometry, osg::Vec3d(x0 + side / 2, y0 + side / 2, 0.0), levelTexture(node));
    lod->addChild(coarse.get(), 0.0f, switchAt);
    lod->setFileName(1, finerFile(node, from));
    lod->setRange(1, switchAt, FLT_MAX);
    lod->setNumChildrenThatCannotBeExpired(1);
    return lod;
}

AreaTexture PagedDatabaseWriter::levelTexture(const LevelNode& node) const
{
    if (!(flags(node) & texturedBelow))
        return AreaTexture();
    // The children's textures: the tile's own, or those its level file carries on the
    // coarse surfaces of the nodes below (written before this level).
    const std::string file = node.level == 0
                                 ? grid.name(std::uint64_t(node.row) * grid.getNumColumns() + node.column) + ".ive"
                                 : folder + "/" + levelFileName(node);
    osg::ref_ptr<osg::Node> below = osgDB::readRefNodeFile(file, uncachedReading().get());
    std::vector<AreaTexture> children;
    if (below.valid() && node.level == 0)
        children.push_back(tileTexture(*below));
    osg::Group* group = below.valid() && node.level > 0 ? below->asGroup() : nullptr;
    for (unsigned i = 0; group && i < group->getNumChildren(); ++i)
    {
        osg::LOD* lod = dynamic_cast<osg::LOD*>(group->getChild(i));
        if (lod && lod->getNumChildren() > 0)
            children.push_back(tileTexture(*lod->getChild(0)));
    }
    AreaTexture texture;
    const double side = std::ldexp(grid.getTileSize(), int(node.level));
    const double x0 = grid.columnMin(0) + node.column * side, y0 = grid.rowMin(0) + node.row * side;
    texture.area.set(x0, y0, 0.0, x0 + side, y0 + side, 0.0);
    texture.image = composeTexture(children, texture.area, levelTextureEdge, levelTextureEdge);
    return texture;
}

bool PagedDatabaseWriter::writeLevelFile(const LevelNode& node) const
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    group->setName(osgDB::getNameLessExtension(levelFileName(node)));
    for (unsigned dr = 0; dr < 2; ++dr)
        for (unsigned dc = 0; dc < 2; ++dc)
        {
            const LevelNode child{node.level - 1, node.row * 2 + dr, node.column * 2 + dc};
            if (present(child))
                group->addChild(pagedNode(child, "../").get());
        }
    const std::string path = folder + "/" + levelFileName(node);
    if (AtomicSceneFile::writeNode(*group, path))
        return true;
    OSG_WARN << "Paged database " << root << ": could not write " << path << std::endl;
    return false;
}

bool PagedDatabaseWriter::write()
{
    cellsPerTile = chooseCellsPerTile();
    if (cellsPerTile == 0)
    {
        OSG_WARN << "Paged database " << root << " not written: no tile of the grid is there" << std::endl;
        return false;
    }
    heights.reset(new LevelHeights(grid, cellsPerTile));
    meshes.reset(new LevelMeshBuilder(grid, *heights));
    sampleTiles();

    std::uint64_t readable = 0;
    for (std::uint64_t tile = 0; tile < grid.getNumTiles(); ++tile)
        readable += heights->hasTile(tile);
    if (readable == 0)
    {
        OSG_WARN << "Paged database " << root << " not written: no tile could be read" << std::endl;
        return false;
    }
    std::vector<LevelNode> files;
    for (unsigned k = 1; k <= levels; ++k)
    {
        const unsigned rows = nodesAlong(grid.getNumRows(), k), columns = nodesAlong(grid.getNumColumns(), k);
        presence[k].assign(std::size_t(rows) * columns, 0);
        for (unsigned r = 0; r < rows; ++r)
            for (unsigned c = 0; c < columns; ++c)
            {
                char below = 0;
                for (unsigned d = 0; d < 4; ++d)
                    below |= flags(LevelNode{k - 1, r * 2 + d / 2, c * 2 + d % 2});
                presence[k][std::size_t(r) * columns + c] = below;
                if (below & readableBelow)
                    files.push_back(LevelNode{k, r, c});
            }
    }

    if (!files.empty() && !osgDB::makeDirectory(folder))
    {
        OSG_WARN << "Paged database " << root << ": could not make the folder " << folder << std::endl;
        return false;
    }
    // Level by level from the bottom: a level's textures are composed from the files below.
    std::atomic<bool> ok{true};
    for (std::size_t first = 0, end = 0; first < files.size() && ok; first = end)
    {
        while (end < files.size() && files[end].level == files[first].level)
            ++end;
        ParallelLoop::forEach(end - first, threads, [&](std::uint64_t i) {
            if (!writeLevelFile(files[first + i]))
                ok = false;
        });
    }
    if (!ok)
        return false;

    // Last, so that the root exists only when everything it leads to does.
    osg::ref_ptr<osg::Node> top = pagedNode(LevelNode{levels, 0, 0}, "");
    top->addDescription("tin paged terrain: tiles " + std::to_string(readable) + ", average tile bytes " +
                        std::to_string(tileBytes / readable));
    if (!AtomicSceneFile::writeNode(*top, root))
    {
        OSG_WARN << "Paged database " << root << ": could not write the root" << std::endl;
        return false;
    }
    removeStaleLevelFiles(files);
    OSG_NOTICE << "Paged database " << root << ": " << readable << " tile(s) under " << levels
               << " coarser level(s), " << files.size() << " level file(s) in " << folder << "/" << std::endl;
    return true;
}

void PagedDatabaseWriter::removeStaleLevelFiles(const std::vector<LevelNode>& written) const
{
    // Last: until the root is written the run may still fail, and a failed run removes nothing.
    std::set<std::string> keep;
    for (const LevelNode& node : written)
        keep.insert(levelFileName(node));
    const std::regex ours("L[0-9]+_[0-9]+_[0-9]+\\.ive");
    for (const std::string& name : osgDB::getDirectoryContents(folder))
        if (std::regex_match(name, ours) && !keep.count(name) && std::remove((folder + "/" + name).c_str()) != 0)
            OSG_WARN << "Paged database " << root << ": could not remove the stale level file " << folder << "/"
                     << name << std::endl;
    if (written.empty())
        ::rmdir(folder.c_str()); // gone with its last file; left alone when something else is in it
}

} // namespace osgTAVRI
