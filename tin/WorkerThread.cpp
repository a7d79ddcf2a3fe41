#include "tin/WorkerThread.h"

#include "tin/ScopedTimer.h"
#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TilePointStore.h"
#include "tin/tiling/TileQueue.h"
#include "tin/tiling/TileWriter.h"
#include "tin/tiling/TinBuilder.h"
#include "tin/imagery/TileImagery.h"
#include "tin/triangulation/DelaunayTriangulator.h"

#include <osg/MatrixTransform>
#include <osg/Notify>

#include <exception>

namespace osgTAVRI
{

WorkerThread::WorkerThread(TileBuild& tileBuild) : build(tileBuild) {}

void WorkerThread::buildTile(std::uint64_t tile)
{
    const std::string name = build.grid->name(tile);
    ScopedTimer timer("Generated TIN " + name, osg::NOTICE);
    try
    {
        const std::uint64_t count = build.store->count(tile);
        if (count > DelaunayTriangulator::maxPoints())
        {
            build.store->drop(tile);
            ++build.failed;
            OSG_WARN << "Tile " << name << " refused: its " << count
                     << " points are more than one tile can triangulate ("
                     << DelaunayTriangulator::maxPoints() << "); use a smaller --tileSize"
                     << std::endl;
            return;
        }
        osg::ref_ptr<osg::Vec3dArray> points = build.store->take(tile);
        // Taken in any case, so that a tile's colours never outlive its points.
        const PointColours::Taken colours =
            build.imagery ? build.imagery->takeColours(tile, *points) : PointColours::Taken();
        if (points->size() < 3)
        {
            ++build.withoutPoints;
            return;
        }
        osg::ref_ptr<osg::MatrixTransform> node =
            createTin(points.get(), build.grid->bounds(tile), build.mesh);
        if (node.valid() && build.imagery)
            build.imagery->decorate(*node, build.grid->bounds(tile), colours);
        // The mesh holds its own vertices; the points need not wait beside it for the write.
        points = nullptr;
        if (node.valid() && writeTile(*node, name + ".ive"))
            ++build.written;
        else
            ++build.failed;
    }
    catch (const std::exception& error)
    {
        // One tile's failure (out of memory on a huge tile, say) must not end the run.
        ++build.failed;
        OSG_WARN << "Tile " << name << " failed: " << error.what() << std::endl;
    }
}

void WorkerThread::run()
{
    std::uint64_t tile = 0;
    while (build.queue->next(tile))
    {
        buildTile(tile);
        ++build.done;
    }
}

} // namespace osgTAVRI
