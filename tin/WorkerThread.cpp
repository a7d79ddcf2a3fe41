#include "tin/WorkerThread.h"

#include "tin/PointCloudInput.h"
#include "tin/ScopedTimer.h"
#include "tin/TinBuilder.h"
#include "tin/TileWriter.h"

#include <OpenThreads/ScopedLock>
#include <osg/MatrixTransform>

#include <exception>

namespace osgTAVRI
{

WorkerThread::WorkerThread(unsigned number, OpenThreads::Mutex* lock,
                           std::atomic<unsigned>* done)
    : index(number), mutex(lock), tilesDone(done)
{
}

WorkerThread::~WorkerThread()
{
    jobs.clear();
}

void WorkerThread::buildTile(const TileJob& job)
{
    ScopedTimer timer("Generated TIN " + job.name, osg::NOTICE, mutex);
    try
    {
        osg::ref_ptr<osg::Vec3dArray> points =
            readTilePoints(std::vector<std::uint16_t>{1}, job.thinNth, job.files, job.bounds);
        if (points->size() < 3)
            return;
        osg::ref_ptr<osg::MatrixTransform> node =
            createTin(points.get(), job.bounds, job.noTrim, job.maxError);
        if (node.valid())
            writeTile(*node, job.name + ".ive");
    }
    catch (const std::exception& error)
    {
        // One tile's failure (out of memory on a huge tile, say) must not end the run.
        OpenThreads::ScopedLock<OpenThreads::Mutex> guard(*mutex);
        osg::notify(osg::WARN) << "Tile " << job.name << " failed: " << error.what() << std::endl;
    }
}

void WorkerThread::run()
{
    for (const TileJob& job : jobs)
    {
        buildTile(job);
        if (tilesDone)
            ++*tilesDone;
    }
}

} // namespace osgTAVRI
