#include "tin/TileDriver.h"

#include "common/TemporaryFiles.h"
#include "tin/tiling/PointDistributor.h"
#include "tin/ScopedTimer.h"
#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TilePointStore.h"
#include "tin/tiling/TileQueue.h"
#include "tin/TinOptions.h"
#include "tin/levels/PagedDatabaseWriter.h"
#include "tin/WorkerThread.h"
#include "tin/imagery/TileImagery.h"

#include <OpenThreads/Thread>
#include <osg/Notify>
#include <osg/Timer>
#include <osgDB/Registry>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
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

// Why a run wrote no tile, in one line with the counts.
std::string emptyRunReason(const TileGrid& grid, const TileQueue& queue, const TinOptions& options,
                           const PointDistributor::Counts& counts, const TileBuild& build)
{
    const std::string files = std::to_string(counts.files) + " input file(s)" +
                              (counts.unreadable ? ", " + std::to_string(counts.unreadable) + " unreadable" : "");
    if (grid.getNumTiles() == 0)
        return "the extent holds no tiles (no valid --extents was given)";
    if (queue.size() == 0)
        return "shard " + std::to_string(options.shardIndex) + "/" + std::to_string(options.shardCount) +
               " holds none of the " + std::to_string(grid.getNumTiles()) + " tiles";
    if (counts.touching == 0)
        return "no input touches the extent (" + files + ", none of them meets a tile)";
    if (counts.placed == 0)
        return "the filters left no points in the tiles: of " + std::to_string(counts.read) + " points in the " +
               std::to_string(counts.touching) + " file(s) that touch the extent, " +
               std::to_string(counts.selected) + " passed the filters (" + options.selection.describe() +
               ") and none lies in a tile";
    if (build.withoutPoints == queue.size())
        return "no tile got 3 points or more: " + std::to_string(counts.placed) + " of " +
               std::to_string(counts.selected) + " selected points lie in the tiles";
    return "every tile with points failed; see the lines above";
}

// Builds the queue's tiles on `threads` workers, showing the progress; here, when no worker
// can start.
void buildTiles(TileBuild& build, unsigned count, unsigned threads, const char* program)
{
    std::vector<std::unique_ptr<WorkerThread>> workers;
    unsigned started = 0;
    for (unsigned i = 0; i < threads; ++i)
    {
        workers.emplace_back(new WorkerThread(build));
        if (workers.back()->startThread() == 0)
            ++started;
        else
            workers.pop_back();
    }
    if (started < threads)
        OSG_WARN << program << ": " << threads - started
                 << " worker thread(s) could not start; the tiles are built without them"
                 << std::endl;

    ProgressLine progress(count);
    bool running;
    do
    {
        running = std::any_of(workers.begin(), workers.end(),
                              [](const std::unique_ptr<WorkerThread>& w) { return w->isRunning(); });
        progress.update(build.done);
        OpenThreads::Thread::microSleep(10000);
    } while (running);
    // No thread at all: the tiles are built here.
    if (started == 0 && count > 0)
    {
        WorkerThread here(build);
        here.run();
        progress.update(build.done);
    }
    progress.finish();
    // OpenThreads' isRunning() drops before the thread is joined; join before deleting.
    for (auto& worker : workers)
        worker->join();
}
} // namespace

int runTin(int argc, char** argv)
{
    const TinCommandLine commandLine = parseTinOptions(argc, argv);
    if (!commandLine.run)
        return commandLine.exitCode;
    const TinOptions& options = commandLine.options;

    // A run's lines start after a blank one; --version and --help print only themselves.
    OSG_NOTICE << std::endl;
    std::ostream& notice = osg::notify(osg::NOTICE);
    notice.setf(std::ios::fixed);
    notice.precision(2);

    // Everything that could make the run write a wrong tile is checked before any is written.
    TileGrid grid;
    std::string error;
    if (!grid.plan(options.extent, options.tileSize, options.naming, error) || !grid.checkNames(error))
    {
        OSG_WARN << argv[0] << ": " << error << std::endl;
        return 1;
    }

    // An unreadable texture ends the run here, before the first tile.
    TileImagery imagery(options.imagery);
    if (!imagery.prepare(options.files, error))
    {
        OSG_WARN << argv[0] << ": " << error << std::endl;
        return 1;
    }
    const bool decorated = !options.imagery.texture.empty() || options.imagery.colourRgb;

    TemporaryFiles::removeOnSignals();
    if (!options.pagedDatabase.empty())
        PagedDatabaseWriter::removeRoot(options.pagedDatabase);
    OpenThreads::Thread::Init();
    // Loaded here, before the workers write their first tile at the same time.
    osgDB::Registry::instance()->getReaderWriterForExtension("ive");

    if (options.indexOnly)
        return PagedDatabaseWriter(grid, options.pagedDatabase, options.numThreads).write() ? 0 : 1;

    TileQueue queue(grid.getNumTiles(), options.shardIndex, options.shardCount);
    const unsigned count = unsigned(queue.size());
    TileBuild build;
    build.grid = &grid;
    build.queue = &queue;
    build.mesh = options.mesh;
    build.imagery = decorated ? &imagery : nullptr;
    PointDistributor::Counts counts;
    {
        char label[64];
        std::snprintf(label, sizeof label, "Generation of %u TIN tile(s)", count);
        ScopedTimer timer(label, osg::NOTICE);

        // Colours, when asked for, share the budget with the points.
        const std::uint64_t budget = options.imagery.colourRgb ? options.memoryBudget / 2 : options.memoryBudget;
        TilePointStore store(budget);
        imagery.setColourBudget(budget);
        build.store = &store;
        PointDistributor distributor(grid, queue, options.selection, store);
        distributor.setThreads(options.numThreads);
        distributor.setColours(imagery.getColours());
        distributor.readHeaders(options.files);
        distributor.readPoints();
        counts = distributor.getCounts();
        if (store.getSpilledBytes() > 0)
            OSG_NOTICE << "Points beyond the memory budget of " << (options.memoryBudget >> 20)
                       << " MB went to a temporary file: " << (store.getSpilledBytes() >> 20)
                       << " MB" << std::endl;

        buildTiles(build, count, std::min(options.numThreads, count), argv[0]);
    }
    const std::string uncovered = imagery.uncoveredLine(count);
    if (!uncovered.empty())
        OSG_NOTICE << uncovered << std::endl;
    if (build.written == 0)
        OSG_NOTICE << "No tile was written: "
                   << emptyRunReason(grid, queue, options, counts, build) << std::endl;
    OSG_NOTICE << "Tiles written: " << build.written.load() << " of " << count << " ("
               << build.withoutPoints.load() << " without points)" << std::endl;
    if (!options.pagedDatabase.empty() && build.written > 0)
        PagedDatabaseWriter(grid, options.pagedDatabase, options.numThreads).write();
    return 0;
}

} // namespace osgTAVRI
