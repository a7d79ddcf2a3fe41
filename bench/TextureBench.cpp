// tin with and without --texture over the same 16 tiles, as child processes: the textured run reads each tile's
// window of a 0.25 m orthophoto (a tiled, JPEG-compressed GeoTIFF, as agencies deliver them),
// resamples it to a 1024 x 1024 texture and stores it in the tile. The untextured run is the
// peer; the ratio is the price of the imagery. The same pair with --pagedDatabase, as users
// run it, adds the coarser levels (textured from the tiles' textures on the textured side).
// The two runs of a pair follow each other, so that the speed the shared machine gives them
// at the time is the same for both; the ratio is the median of five pairs' ratios.
#include "bench/Median.h"
#include "bench/TinChild.h"
#include "tin/las/LasWriter.h"

#include <gdal_priv.h>
#include <osg/Timer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
const double side = 1000.0;  // 4 x 4 tiles of 250 m
const double pixel = 0.25;
const double border = 50.0;   // raster beyond the tiles


void makeScan(const std::string& path)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter::Settings settings;
    osgTAVRI::LasWriter writer(out, settings);
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // One point a square metre, a usual density of an airborne scan.
    for (int i = 0; i < 1000000; ++i)
    {
        const double x = u(random) * side, y = u(random) * side;
        writer.addPoint(x, y, 20.0 + 8.0 * std::sin(x / 90.0) * std::cos(y / 70.0) + u(random) * 0.3);
    }
    writer.finish();
}

bool makeOrthophoto(const std::string& path)
{
    GDALAllRegister();
    const int size = int((side + 2 * border) / pixel);
    const char* options[] = {"TILED=YES", "COMPRESS=JPEG", "PHOTOMETRIC=YCBCR", "JPEG_QUALITY=90", nullptr};
    GDALDatasetUniquePtr image(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), size, size, 3, GDT_Byte, const_cast<char**>(options)));
    if (!image)
        return false;
    double transform[6] = {-border, pixel, 0.0, side + border, 0.0, -pixel};
    image->SetGeoTransform(transform);
    std::vector<unsigned char> row(std::size_t(size) * 3);
    std::mt19937 random(5);
    for (int j = 0; j < size; ++j)
    {
        for (int i = 0; i < size; ++i)
        {
            const double x = i * pixel, y = j * pixel;
            unsigned char* p = &row[std::size_t(i) * 3];
            p[0] = (unsigned char)(120 + 60 * std::sin(x / 37.0) + random() % 20);
            p[1] = (unsigned char)(130 + 50 * std::cos(y / 23.0) + random() % 20);
            p[2] = (unsigned char)(90 + 40 * std::sin((x + y) / 51.0));
        }
        if (image->RasterIO(GF_Write, 0, j, size, 1, row.data(), size, 1, GDT_Byte, 3, nullptr, 3,
                            GSpacing(size) * 3, 1, nullptr) != CE_None)
            return false;
    }
    return true;
}

struct Run
{
    double wall = 1e30;
    double cpu = 1e30; // user and system time of the tin process
};

// Runs <build>/Bin/tin in a fresh `dir` as a child, for its wall and processor time; the
// processor time is what tin itself spent, whatever else the machine runs meanwhile.
Run runTin(const std::string& dir, const std::vector<std::string>& extra, const std::string& las)
{
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    std::vector<std::string> args{"--extents", "0,0,1000,1000", "--tileSize", "250", "--numThreads", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(las);
    const tavribench::ChildRun child = tavribench::runTinChild(dir, args);
    Run run;
    run.wall = child.ok ? child.seconds : -1.0;
    run.cpu = child.ok ? child.processor : -1.0;
    return run;
}

Run best(const Run& a, const Run& b) { return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }
} // namespace

int main()
{
    char pattern[] = "/tmp/tavri-texture-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made)
        return 1;
    const std::string dir = made;
    const std::string las = dir + "/scan.las", ortho = dir + "/ortho.tif";
    makeScan(las);
    if (!makeOrthophoto(ortho))
    {
        std::printf("could not write the orthophoto\n");
        return 1;
    }
    Run plain, textured, pagedPlain, pagedTextured;
    std::vector<double> ratios, pagedRatios;
    for (int round = 0; round < 5; ++round)
    {
        const Run p = runTin(dir + "/plain", {}, las);
        const Run t = runTin(dir + "/textured", {"--texture", ortho}, las);
        const Run pp = runTin(dir + "/paged-plain", {"--pagedDatabase", "terrain.ive"}, las);
        const Run pt = runTin(dir + "/paged-textured", {"--texture", ortho, "--pagedDatabase", "terrain.ive"}, las);
        if (p.cpu <= 0.0 || t.cpu <= 0.0 || pp.cpu <= 0.0 || pt.cpu <= 0.0)
        {
            std::printf("tin failed\n");
            return 1;
        }
        plain = best(plain, p);
        textured = best(textured, t);
        pagedPlain = best(pagedPlain, pp);
        pagedTextured = best(pagedTextured, pt);
        ratios.push_back(t.cpu / p.cpu);
        pagedRatios.push_back(pt.cpu / pp.cpu);
    }
    double load[1] = {0.0};
    getloadavg(load, 1);
    std::printf("tin over 16 tiles of 250 x 250 (1 M points), one thread, best of 5 (load average %.1f)\n", load[0]);
    std::printf("  untextured: %.2f s processor, %.2f s wall\n", plain.cpu, plain.wall);
    std::printf("  textured with a 0.25 m orthophoto (1024 x 1024 a tile): %.2f s processor, %.2f s wall\n",
                textured.cpu, textured.wall);
    std::printf("  wall time ratio %.2f (meaningful on an idle machine only)\n", textured.wall / plain.wall);
    std::printf("tin textured vs untextured: ratio %.2f (processor time, median of 5 pairs; goal <= 1.3)\n",
                tavribench::median(ratios));
    std::printf("  ratio of the best times %.2f\n", textured.cpu / plain.cpu);
    std::printf("  with --pagedDatabase: untextured %.2f s, textured %.2f s processor (levels: +%.2f s, +%.2f s)\n",
                pagedPlain.cpu, pagedTextured.cpu, pagedPlain.cpu - plain.cpu, pagedTextured.cpu - textured.cpu);
    std::printf("tin --pagedDatabase textured vs untextured: ratio %.2f (processor time, median of 5 pairs)\n",
                tavribench::median(pagedRatios));
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
