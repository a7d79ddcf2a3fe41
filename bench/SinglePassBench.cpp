// The program over one file of 4 million points cut into 256 tiles, against the same
// points as one tile, in the same run: wall time and peak memory of each, one thread.
// Its peer for the 256 tiles is the former way, every tile reading the file by itself.
#include "tin/PointCloudInput.h"
#include "tin/TileWriter.h"
#include "tin/TinBuilder.h"
#include "tin/las/LasWriter.h"

#include <osg/Notify>
#include <osg/Timer>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
double now() { return osg::Timer::instance()->time_s(); }

std::string tinProgram()
{
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? std::size_t(n) : 0);
    return path.substr(0, path.rfind('/')) + "/../Bin/tin";
}

struct Run
{
    double seconds = 0.0;
    long peakMB = 0;
    bool ok = false;
};

// Runs tin in `dir` as a child and takes its wall time and peak resident memory.
Run runTin(const std::string& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> all{tinProgram()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const double t = now();
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (chdir(dir.c_str()) != 0 || !freopen("/dev/null", "w", stdout))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = now() - t;
    run.peakMB = usage.ru_maxrss / 1024;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

void makeFile(const std::string& path, double size, std::size_t count)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter::Settings s;
    osgTAVRI::LasWriter writer(out, s);
    std::mt19937 random(4242);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (std::size_t i = 0; i < count; ++i)
    {
        const double x = u(random) * size, y = u(random) * size;
        writer.addPoint(x, y, 20.0 + 8.0 * std::sin(x / 90.0) * std::cos(y / 70.0) + u(random) * 0.3);
    }
    writer.finish();
}

// The former way: each of the tiles reads the whole file for its own points.
double tilesReadOneByOne(const std::string& las, const std::string& dir, double size, unsigned perSide)
{
    const double t = now();
    const double tile = size / perSide;
    for (unsigned r = 0; r < perSide; ++r)
        for (unsigned c = 0; c < perSide; ++c)
        {
            const osg::BoundingBoxd bounds(c * tile, r * tile, -10000, (c + 1) * tile, (r + 1) * tile, 10000);
            osg::ref_ptr<osg::Vec3dArray> points = osgTAVRI::readTilePoints({1}, 1, {las}, bounds);
            osg::ref_ptr<osg::MatrixTransform> node = osgTAVRI::createTin(points.get(), bounds, false);
            if (node.valid())
                osgTAVRI::writeTile(*node, dir + "/tile.ive");
        }
    return now() - t;
}
} // namespace

int main()
{
    char dirTemplate[] = "/tmp/tavri-singlepass-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string las = dir + "/four-million.las";
    const double size = 1600.0;
    makeFile(las, size, 4000000);
    const std::string out = dir + "/out";
    const std::string extent = "0,0,1600,1600";

    Run one, many;
    one.seconds = many.seconds = 1e30;
    for (int round = 0; round < 2; ++round)
    {
        std::system(("rm -rf '" + out + "' && mkdir '" + out + "'").c_str());
        const Run a = runTin(out, {"--extents", extent, "--tileSize", "1600", las});
        std::system(("rm -rf '" + out + "' && mkdir '" + out + "'").c_str());
        const Run b = runTin(out, {"--extents", extent, "--tileSize", "100", las});
        if (!a.ok || !b.ok)
        {
            std::printf("tin failed\n");
            return 1;
        }
        if (a.seconds < one.seconds)
            one = a;
        if (b.seconds < many.seconds)
            many = b;
    }
    osg::setNotifyLevel(osg::WARN);
    std::system(("rm -rf '" + out + "' && mkdir '" + out + "'").c_str());
    const double former = tilesReadOneByOne(las, out, size, 16);

    double load[1] = {0.0};
    getloadavg(load, 1);
    std::printf("tin over one file of 4 M points, one thread, best of 2 (load average %.1f)\n", load[0]);
    std::printf("  1 tile of 1600 x 1600:   %7.2f s, peak memory %5ld MB\n", one.seconds, one.peakMB);
    std::printf("  256 tiles of 100 x 100:  %7.2f s, peak memory %5ld MB\n", many.seconds, many.peakMB);
    std::printf("  256 tiles / 1 tile: time %.2f, peak memory %.2f\n", many.seconds / one.seconds,
                double(many.peakMB) / double(one.peakMB));
    std::printf("  peer, 256 tiles each reading the file by itself (in process): %.2f s, %.2f x the single pass\n",
                former, former / many.seconds);
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
