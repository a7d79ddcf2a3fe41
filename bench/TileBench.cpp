// One tile of 1 M points through the whole program, in processor time, against CGAL's
// triangulation of the same points alone, with peak memory, the share of each stage, and the
// previous release's tin in the same rounds when run-bench.sh built one. Then a whole tile
// (read, triangulate, smooth, trim, write) per million points with the time of each stage,
// for a size sweep; then the whole program over 8 tiles on one thread against two threads in
// the same run; then the program over one file of 4 million points cut into 256 tiles against
// the same points as one tile: wall time and peak memory of each, with the former way (every
// tile reading the file by itself) as the peer. `TileBench oneTile` runs the first part only.
#include "bench/TinChild.h"
#include "tests/support/PointCloudInput.h"
#include "tin/TileDriver.h"
#include "tin/TinOptions.h"
#include "tin/tiling/PointDistributor.h"
#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TilePointStore.h"
#include "tin/tiling/TileQueue.h"
#include "tin/tiling/TileWriter.h"
#include "tin/tiling/TinBuilder.h"
#include "tin/las/LasReader.h"
#include "tin/las/LasWriter.h"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <osg/Notify>
#include <osg/Timer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
double now() { return osg::Timer::instance()->time_s(); }

double processorSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Jittered rolling terrain over 0..width x 0..height with `count` points.
void makeTerrain(const std::string& path, double width, double height, std::size_t count)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter::Settings s;
    osgTAVRI::LasWriter writer(out, s);
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (std::size_t i = 0; i < count; ++i)
    {
        const double x = u(random) * width, y = u(random) * height;
        writer.addPoint(x, y, 20.0 + 8.0 * std::sin(x / 90.0) * std::cos(y / 70.0) + u(random) * 0.3);
    }
    writer.finish();
}

void stageSweep(const std::string& dir)
{
    std::printf("One 1000 x 1000 tile, processor seconds, and per million points read into the tile\n");
    std::printf("%10s %8s %8s %8s %8s %8s %8s %8s\n", "points", "read", "triang.", "smooth", "trim", "write",
                "total", "s/Mpt");
    for (std::size_t count : {100000u, 300000u, 1000000u})
    {
        const std::string las = dir + "/sweep.las";
        // The file covers the tile and its 5 % margin.
        makeTerrain(las, 1100.0, 1100.0, count);
        const osg::BoundingBoxd tile(50, 50, -10000, 1050, 1050, 10000);
        osgTAVRI::TinTimings t;
        const double t0 = processorSeconds();
        osg::ref_ptr<osg::Vec3dArray> points = tavritest::readTilePoints({1}, 1, {las}, tile);
        const double t1 = processorSeconds();
        const std::size_t n = points->size();
        osg::ref_ptr<osg::MatrixTransform> node = osgTAVRI::createTin(points.get(), tile, osgTAVRI::TinSettings(), &t);
        const double t2 = processorSeconds();
        osgTAVRI::writeTile(*node, dir + "/sweep.ive");
        const double t3 = processorSeconds();
        const double total = t3 - t0;
        std::printf("%10zu %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n", n, t1 - t0, t.triangulate, t.smooth,
                    t.trim, t3 - t2, total, total / (n / 1e6));
        std::remove(las.c_str());
        std::remove((dir + "/sweep.ive").c_str());
    }
}

double runProgram(const std::string& dir, const std::string& las, const char* threads)
{
    std::vector<std::string> args{"tin", "--extents", "0,0,2000,1000", "--tileSize", "500", "--numThreads", threads, las};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const double t = now();
    if (chdir(dir.c_str()) != 0)
        return -1.0;
    osgTAVRI::runTin(int(args.size()), argv.data());
    return now() - t;
}

void threadScaling(const std::string& dir)
{
    const std::string las = dir + "/eight.las";
    makeTerrain(las, 2000.0, 1000.0, 1600000);
    const std::string out = dir + "/out";
    mkdir(out.c_str(), 0700);
    // Quiet the per-tile time lines while timing.
    osg::setNotifyLevel(osg::WARN);
    double one = 1e30, two = 1e30;
    for (int round = 0; round < 2; ++round)
    {
        one = std::min(one, runProgram(out, las, "1"));
        two = std::min(two, runProgram(out, las, "2"));
    }
    osg::setNotifyLevel(osg::NOTICE);
    double load[1] = {0.0};
    getloadavg(load, 1);
    // Speed-up needs idle cores; the load average shows whether other work shared them.
    std::printf("tin over 8 tiles of 500 x 500 (1.6 M points): 1 thread %.2f s, 2 threads %.2f s, speed-up %.2f "
                "(%ld cores, load average %.1f)\n", one, two, one / two, sysconf(_SC_NPROCESSORS_ONLN), load[0]);
    std::system(("rm -rf '" + out + "' '" + las + "'").c_str());
}

using tavribench::ChildRun;
using tavribench::ourTin;
using tavribench::runTinChild;


double cgalSeconds(const osg::Vec3dArray& points)
{
    typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
    std::vector<K::Point_2> xy;
    xy.reserve(points.size());
    for (const osg::Vec3d& p : points)
        xy.emplace_back(p.x(), p.y());
    const double t = processorSeconds();
    CGAL::Delaunay_triangulation_2<K> triangulation(xy.begin(), xy.end());
    return triangulation.number_of_faces() > 0 ? processorSeconds() - t : 0.0;
}

// Processor seconds of each stage of the tile built in this process, trimmed so that every
// stage shows. Read is decoding the records with the default filters; select is sending the
// points through the single pass to their tile, and taking them out, beyond that reading.
struct Stages
{
    double read = 1e30, select = 1e30, triangulate = 1e30, smooth = 1e30, trim = 1e30, write = 1e30, other = 1e30;

    void measure(const std::string& las, const std::string& ive)
    {
        osgTAVRI::TinOptions options;
        options.extent.set(0, 0, -10000, 1000, 1000, 10000);
        options.files = {las};
        double t = processorSeconds();
        {
            std::ifstream stream(las.c_str(), std::ios::binary);
            osgTAVRI::LasReader reader(stream, las);
            reader.setFilters(options.selection.makeFilters());
            while (reader.readNextPoint())
                ;
        }
        const double decoded = processorSeconds() - t;
        t = processorSeconds();
        osgTAVRI::TileGrid grid;
        std::string error;
        grid.plan(options.extent, options.tileSize, options.naming, error);
        osgTAVRI::TileQueue queue(grid.getNumTiles());
        osgTAVRI::TilePointStore store(options.memoryBudget, "/tmp");
        osgTAVRI::PointDistributor distributor(grid, queue, options.selection, store);
        distributor.readHeaders(options.files);
        distributor.readPoints();
        osg::ref_ptr<osg::Vec3dArray> points = store.take(0);
        const double selected = processorSeconds() - t;
        osgTAVRI::TinTimings timings;
        t = processorSeconds();
        osg::ref_ptr<osg::MatrixTransform> node = osgTAVRI::createTin(points.get(), grid.bounds(0),
                                                                      osgTAVRI::TinSettings(), &timings);
        const double built = processorSeconds() - t;
        points = nullptr;
        t = processorSeconds();
        osgTAVRI::writeTile(*node, ive);
        const double written = processorSeconds() - t;
        read = std::min(read, decoded);
        select = std::min(select, std::max(0.0, selected - decoded));
        triangulate = std::min(triangulate, timings.triangulate);
        smooth = std::min(smooth, timings.smooth);
        trim = std::min(trim, timings.trim);
        other = std::min(other, std::max(0.0, built - timings.triangulate - timings.smooth - timings.trim));
        write = std::min(write, written);
    }

    void print() const
    {
        const double total = read + select + triangulate + smooth + trim + other + write;
        auto share = [total](double t) { return 100.0 * t / total; };
        std::printf("  stage shares of %.2f s (best of 3, trimmed): read %.0f %%, select %.0f %%, triangulate "
                    "%.0f %%, smooth %.0f %%, trim %.0f %%, write %.0f %%, other %.0f %%\n",
                    total, share(read), share(select), share(triangulate), share(smooth), share(trim),
                    share(write), share(other));
    }
};

// One tile of 1 M points as a new user first tries tin (--noTrim), the whole program in
// processor time (the machine is shared: wall time mostly measures the others' load), best
// of 3, against CGAL's triangulation of the same points in this process.
void oneTile(const std::string& dir)
{
    const std::string las = dir + "/one-tile.las";
    makeTerrain(las, 1000.0, 1000.0, 1000000);
    const std::string out = dir + "/out";
    const std::string fresh = "rm -rf '" + out + "' && mkdir '" + out + "'";
    const std::vector<std::string> args{"--extents", "0,0,1000,1000", "--tileSize", "1000", "--noTrim", las};
    const char* baselineTin = std::getenv("TAVRI_BENCH_BASELINE_TIN");
    const char* baselineName = std::getenv("TAVRI_BENCH_BASELINE_NAME");
    ChildRun ours, baseline;
    ours.processor = baseline.processor = 1e30;
    double cgal = 1e30;
    const osg::BoundingBoxd tile(0, 0, -10000, 1000, 1000, 10000);
    osg::ref_ptr<osg::Vec3dArray> points = tavritest::readTilePoints({1}, 1, {las}, tile);
    Stages stages;
    for (int round = 0; round < 3; ++round)
    {
        std::system(fresh.c_str());
        const ChildRun a = runTinChild(out, args);
        if (!a.ok)
        {
            std::printf("tin failed\n");
            return;
        }
        ours = a.processor < ours.processor ? a : ours;
        if (baselineTin)
        {
            std::system(fresh.c_str());
            const ChildRun b = runTinChild(out, args, baselineTin);
            baseline = b.ok && b.processor < baseline.processor ? b : baseline;
        }
        cgal = std::min(cgal, cgalSeconds(*points));
        stages.measure(las, out + "/stages.ive");
    }
    double load[1] = {0.0};
    getloadavg(load, 1);
    std::printf("tin one tile 1M points: whole process %.2f s, CGAL triangulation %.2f s, ratio %.2f, "
                "peak memory %ld MB\n", ours.processor, cgal, ours.processor / cgal, ours.peakMB);
    std::printf("  %zu points in the tile, %.0f bytes per point at the peak; processor time, best of 3; wall "
                "%.2f s; load average %.1f\n", points->size(), double(ours.peakMB) * 1048576.0 / double(points->size()),
                ours.seconds, load[0]);
    stages.print();
    if (baselineTin && baseline.ok)
        std::printf("  baseline %s: whole process %.2f s, ratio %.2f, peak memory %ld MB; this build takes %.2f "
                    "times its time and %.2f times its memory\n", baselineName ? baselineName : baselineTin,
                    baseline.processor, baseline.processor / cgal, baseline.peakMB, ours.processor / baseline.processor,
                    double(ours.peakMB) / double(baseline.peakMB));
    else if (baselineTin)
        std::printf("  baseline %s did not run\n", baselineTin);
    std::system(("rm -rf '" + out + "' '" + las + "'").c_str());
}

void singlePass(const std::string& dir)
{
    if (chdir(dir.c_str()) != 0)
        return;
    const std::string las = dir + "/four-million.las";
    makeTerrain(las, 1600.0, 1600.0, 4000000);
    const std::string out = dir + "/out";
    const std::string fresh = "rm -rf '" + out + "' && mkdir '" + out + "'";
    ChildRun one, many;
    one.seconds = many.seconds = 1e30;
    for (int round = 0; round < 2; ++round)
    {
        std::system(fresh.c_str());
        const ChildRun a = runTinChild(out, {"--extents", "0,0,1600,1600", "--tileSize", "1600", las});
        std::system(fresh.c_str());
        const ChildRun b = runTinChild(out, {"--extents", "0,0,1600,1600", "--tileSize", "100", las});
        if (!a.ok || !b.ok)
        {
            std::printf("tin failed\n");
            return;
        }
        one = a.seconds < one.seconds ? a : one;
        many = b.seconds < many.seconds ? b : many;
    }

    // The peer: each tile reads the whole file for its own points, as tin did before.
    std::system(fresh.c_str());
    const double t = now();
    for (unsigned r = 0; r < 16; ++r)
        for (unsigned c = 0; c < 16; ++c)
        {
            const osg::BoundingBoxd tile(c * 100.0, r * 100.0, -10000, (c + 1) * 100.0, (r + 1) * 100.0, 10000);
            osg::ref_ptr<osg::Vec3dArray> points = tavritest::readTilePoints({1}, 1, {las}, tile);
            osg::ref_ptr<osg::MatrixTransform> node = osgTAVRI::createTin(points.get(), tile);
            if (node.valid())
                osgTAVRI::writeTile(*node, out + "/tile.ive");
        }
    const double former = now() - t;

    double load[1] = {0.0};
    getloadavg(load, 1);
    std::printf("tin over one file of 4 M points, one thread, best of 2 (load average %.1f)\n", load[0]);
    std::printf("  1 tile of 1600 x 1600:  %7.2f s, peak memory %5ld MB\n", one.seconds, one.peakMB);
    std::printf("  256 tiles of 100 x 100: %7.2f s, peak memory %5ld MB\n", many.seconds, many.peakMB);
    std::printf("  256 tiles / 1 tile: time %.2f, peak memory %.2f\n", many.seconds / one.seconds,
                double(many.peakMB) / double(one.peakMB));
    std::printf("  peer: 256 tiles each reading the file by itself, in process, %.2f s = %.2f x the single pass\n",
                former, former / many.seconds);
    std::system(("rm -rf '" + out + "' '" + las + "'").c_str());
}
} // namespace

int main(int argc, char** argv)
{
    char dirTemplate[] = "/tmp/tavri-tilebench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    osg::setNotifyLevel(osg::WARN);
    oneTile(dir);
    if (argc < 2 || std::string(argv[1]) != "oneTile")
    {
        stageSweep(dir);
        threadScaling(dir);
        singlePass(dir);
    }
    rmdir(dir.c_str());
    return 0;
}
