// Writes the demo's airborne laser scan: rolling hills cut by a valley whose southern
// end lies below sea level, a railway on an embankment across the valley, and forest
// patches whose canopy gives first returns over second returns from the ground. Points are
// classified as a scan delivery is: ground 2, vegetation 5, rail 10.
//
// Usage: make_demo_las <output.las>
#include "demo/tools/DemoArea.h"
#include "common/AtomicFile.h"
#include "tin/las/LasWriter.h"

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>

namespace
{
using namespace DemoArea;
const double spacing = 3.0;
const double railHead = 0.17; // top of rail above the crown
const unsigned groundClass = 2, vegetationClass = 5, railClass = 10;
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: %s <output.las>\n", argv[0]);
        return 1;
    }
    const std::string path = argv[1];
    // Some 20 MB, built in memory and then written in one piece.
    std::ostringstream out(std::ios::binary);
    {
        osgTAVRI::LasWriter::Settings settings;
        settings.versionMinor = 2;
        settings.pointFormat = 1;
        settings.offset[0] = originX;
        settings.offset[1] = originY;
        OGRSpatialReference srs;
        char* wkt = nullptr;
        if (srs.importFromEPSG(epsg) == OGRERR_NONE && srs.exportToWkt(&wkt) == OGRERR_NONE && wkt)
            settings.wkt = wkt;
        CPLFree(wkt);
        osgTAVRI::LasWriter writer(out, settings);

        std::mt19937 random(20261209);
        std::uniform_real_distribution<double> jitter(-0.45 * spacing, 0.45 * spacing);
        std::normal_distribution<double> noise(0.0, 0.05);
        for (double y = 0.5 * spacing; y < areaSize; y += spacing)
            for (double x = 0.5 * spacing; x < areaSize; x += spacing)
            {
                const double px = x + jitter(random), py = y + jitter(random);
                const double z = ground(px, py) + noise(random);
                const double inside = forest(px, py, z);
                if (inside > 0.0)
                {
                    writer.addPoint(originX + px, originY + py, z + canopy(px, py, inside), 1, 2, vegetationClass);
                    writer.addPoint(originX + px, originY + py, z, 2, 2, groundClass);
                }
                else
                    writer.addPoint(originX + px, originY + py, z, 1, 1, groundClass);
            }
        // The two rails, sampled every metre along the track: the scanner sees them beside
        // the ballast of the crown, whose points stay ground.
        for (double x = 0.5; x < areaSize; x += 1.0)
            for (double side : {-0.5, 0.5})
            {
                const double py = railY + side * gauge + noise(random);
                writer.addPoint(originX + x, originY + py, ground(x, railY) + railHead + noise(random), 1, 1, railClass);
            }
        writer.finish();
    }
    if (!out.good() || !osgTAVRI::AtomicFile::write(path, out.str()))
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
        return 1;
    }
    return 0;
}
