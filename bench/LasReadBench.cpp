// LAS decoding speed of LasReader in points per second, against its peer: a plain
// sequential read of the same file's bytes in the same run.
#include "tin/las/LasReader.h"
#include "tin/las/LasWriter.h"
#include "tin/las/ReturnFilter.h"

#include <osg/Timer>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
double now() { return osg::Timer::instance()->time_s(); }

std::string makeFile(const std::string& path, std::size_t count, unsigned format)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter::Settings s;
    s.versionMinor = format >= 6 ? 4 : 2;
    s.pointFormat = format;
    s.offset[0] = 500000.0;
    s.offset[1] = 6400000.0;
    osgTAVRI::LasWriter writer(out, s);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> u(0.0, 1000.0);
    for (std::size_t i = 0; i < count; ++i)
        writer.addPoint(500000.0 + u(random), 6400000.0 + u(random), u(random) / 10.0, 1 + i % 2, 2);
    writer.finish();
    return path;
}

// Best of three runs of each, alternating, so both see the same page cache.
void measure(const std::string& label, const std::string& path)
{
    double decodeBest = 1e30, rawBest = 1e30;
    std::uint64_t points = 0, bytes = 0;
    double checksum = 0.0;
    std::vector<char> block(1 << 18);
    for (int round = 0; round < 3; ++round)
    {
        double t = now();
        {
            std::ifstream in(path.c_str(), std::ios::binary);
            osgTAVRI::LasReader reader(in, path);
            reader.setFilters({std::make_shared<osgTAVRI::ReturnFilter>(std::vector<std::uint16_t>{1}, false)});
            points = reader.getHeader().getPointCount();
            while (reader.readNextPoint())
                checksum += reader.getPoint().getZ();
        }
        decodeBest = std::min(decodeBest, now() - t);

        t = now();
        {
            std::ifstream in(path.c_str(), std::ios::binary);
            bytes = 0;
            while (in.read(block.data(), std::streamsize(block.size())) || in.gcount() > 0)
            {
                bytes += std::uint64_t(in.gcount());
                checksum += block[0];
            }
        }
        rawBest = std::min(rawBest, now() - t);
    }
    const double decodeRate = points / decodeBest;
    const double rawRate = points / rawBest;
    std::printf("%-28s %9llu points  LasReader %8.2f Mpoints/s (%.3f s)  plain read %8.2f Mpoints/s "
                "(%.0f MB/s, %.3f s)  decode time / plain read time %.2f\n",
                label.c_str(), (unsigned long long)points, decodeRate / 1e6, decodeBest, rawRate / 1e6,
                bytes / rawBest / 1e6, rawBest, decodeBest / rawBest);
    if (checksum == 42.4242)
        std::printf(" ");
}
} // namespace

int main()
{
    char dirTemplate[] = "/tmp/tavri-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    std::printf("LAS decoding (return filter 1) against a plain sequential read of the same file\n");
    for (std::size_t count : {100000u, 1000000u, 4000000u})
        for (unsigned format : {1u, 7u})
        {
            const std::string path = dir + "/bench.las";
            makeFile(path, count, format);
            measure("synthetic PF" + std::to_string(format) + " " + std::to_string(count), path);
            std::remove(path.c_str());
        }
#ifdef TAVRI_SHARED_DATA
    const std::string real = std::string(TAVRI_SHARED_DATA) + "/las/lone-star.las";
    struct stat info;
    if (stat(real.c_str(), &info) == 0)
        measure("lone-star.las", real);
#endif
    rmdir(dir.c_str());
    return 0;
}
