#include "tin/TileDriver.h"

#include "tin/NotifyLock.h"
#include "tin/ScopedTimer.h"
#include "tin/TileNaming.h"
#include "tin/WorkerThread.h"

#include <OpenThreads/Mutex>
#include <OpenThreads/ScopedLock>
#include <OpenThreads/Thread>
#include <osg/Notify>
#include <osg/Timer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
const double kMaxTiles = 4294967295.0;

// Shows "tiles done / total, elapsed, left" on a terminal's standard error, in place.
class ProgressLine
{
public:
    explicit ProgressLine(unsigned total)
        : tiles(total), enabled(total > 0 && ::isatty(STDERR_FILENO)),
          start(osg::Timer::instance()->tick())
    {
    }

    void update(unsigned done)
    {
        if (!enabled)
            return;
        const double t = osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
        if (done == shown && t - lastWrite < 1.0)
            return;
        shown = done;
        lastWrite = t;
        std::string left = "unknown";
        if (done > 0)
            left = ScopedTimer::formatElapsed(t / done * (tiles - done));
        std::fprintf(stderr, "\r%u/%u tiles, %s elapsed, about %s left   ", done, tiles,
                     ScopedTimer::formatElapsed(t).c_str(), left.c_str());
        std::fflush(stderr);
    }

    void finish()
    {
        if (enabled)
        {
            std::fprintf(stderr, "\r%78s\r", "");
            std::fflush(stderr);
        }
    }

private:
    unsigned tiles;
    bool enabled;
    osg::Timer_t start;
    unsigned shown = UINT_MAX;
    double lastWrite = 0.0;
};

bool fitsTileName(double v)
{
    return v >= double(INT_MIN) && v <= double(INT_MAX);
}
} // namespace

bool planTiles(const TinOptions& options, std::vector<TileJob>& tiles, std::string& error)
{
    tiles.clear();
    const osg::BoundingBoxd& extent = options.extent;
    if (!extent.valid())
        return true;
    const double size = options.tileSize;
    const double columnsD = std::ceil((extent.xMax() - extent.xMin()) / size);
    const double rowsD = std::ceil((extent.yMax() - extent.yMin()) / size);
    if (!(columnsD * rowsD <= kMaxTiles))
    {
        error = "the extent would make more tiles than fit in 32 bits";
        return false;
    }
    const unsigned columns = unsigned(columnsD), rows = unsigned(rowsD);
    if (!fitsTileName(extent.xMin()) || !fitsTileName(extent.yMin()) ||
        !fitsTileName(extent.xMin() + columns * size) || !fitsTileName(extent.yMin() + rows * size))
    {
        error = "the extent lies beyond the range of tile names";
        return false;
    }

    tiles.reserve(std::size_t(rows) * columns);
    for (unsigned r = 0; r < rows; ++r)
        for (unsigned c = 0; c < columns; ++c)
        {
            TileJob job;
            job.bounds.set(extent.xMin() + c * size, extent.yMin() + r * size, extent.zMin(),
                           extent.xMin() + (c + 1) * size, extent.yMin() + (r + 1) * size,
                           extent.zMax());
            job.name = tileName(options.naming, job.bounds, r, c);
            job.files = options.files;
            job.thinNth = options.thinNth;
            job.noTrim = options.noTrim;
            job.maxError = options.maxError;
            tiles.push_back(job);
        }
    return true;
}

std::vector<std::vector<TileJob>> dealTiles(const std::vector<TileJob>& tiles, unsigned threads)
{
    std::vector<std::vector<TileJob>> lists(threads);
    for (std::size_t k = 0; k < tiles.size() && threads > 0; ++k)
        lists[k % threads].push_back(tiles[k]);
    return lists;
}

int runTin(int argc, char** argv)
{
    osg::notify(osg::NOTICE) << std::endl;
    osg::notify(osg::NOTICE).setf(std::ios::fixed);
    osg::notify(osg::NOTICE).precision(2);

    TinOptions options;
    int exitCode = 0;
    if (!parseTinOptions(argc, argv, options, exitCode))
        return exitCode;

    std::vector<TileJob> tiles;
    std::string error;
    if (!planTiles(options, tiles, error))
    {
        osg::notify(osg::WARN) << argv[0] << ": " << error << std::endl;
        return 1;
    }

    OpenThreads::Thread::Init();
    const unsigned count = unsigned(tiles.size());
    const unsigned threads = std::min(options.numThreads, count);
    // The one mutex of the run; it also guards the other lines the workers write.
    OpenThreads::Mutex& mutex = notifyMutex();
    std::atomic<unsigned> tilesDone{0};
    {
        char label[64];
        std::snprintf(label, sizeof label, "Generation of %u TIN tile(s)", count);
        ScopedTimer timer(label, osg::NOTICE, &mutex);

        std::vector<std::vector<TileJob>> lists = dealTiles(tiles, threads);
        tiles.clear();
        std::vector<std::unique_ptr<WorkerThread>> workers;
        for (unsigned i = 0; i < threads; ++i)
        {
            workers.emplace_back(new WorkerThread(i, &mutex, &tilesDone));
            workers.back()->jobs.swap(lists[i]);
        }
        // A worker whose thread cannot start (too many threads asked for) must not lose
        // its tiles: they are built here once the others are done.
        std::vector<WorkerThread*> unstarted;
        for (auto& worker : workers)
            if (worker->startThread() != 0)
                unstarted.push_back(worker.get());
        if (!unstarted.empty())
        {
            OpenThreads::ScopedLock<OpenThreads::Mutex> guard(mutex);
            osg::notify(osg::WARN) << argv[0] << ": " << unstarted.size()
                                   << " worker thread(s) could not start; their tiles are built in turn"
                                   << std::endl;
        }

        ProgressLine progress(count);
        bool running;
        do
        {
            running = std::any_of(workers.begin(), workers.end(),
                                  [](const std::unique_ptr<WorkerThread>& w) { return w->isRunning(); });
            progress.update(tilesDone);
            OpenThreads::Thread::microSleep(10000);
        } while (running);
        for (WorkerThread* worker : unstarted)
        {
            worker->run();
            progress.update(tilesDone);
        }
        progress.finish();
        // OpenThreads' isRunning() drops before the thread is joined; join before deleting.
        for (auto& worker : workers)
            if (std::find(unstarted.begin(), unstarted.end(), worker.get()) == unstarted.end())
                worker->join();
        workers.clear();
    }
    return 0;
}

} // namespace osgTAVRI
