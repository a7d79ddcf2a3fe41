// Writes the demo's airborne laser scan: rolling hills cut by a valley whose southern
// end lies below sea level, a railway on an embankment across the valley, and forest
// patches whose canopy gives first returns over second returns from the ground. Points are
// classified as a scan delivery is: ground 2, vegetation 5, rail 10.
//
// Usage: make_demo_las <output.las>
#include "common/AtomicFile.h"
#include "tin/las/LasWriter.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>

namespace
{
const double originX = 100000.0, originY = 6400000.0, areaSize = 2000.0, spacing = 3.0;
const double railY = 1400.0;    // east-west railway, local y
const double railTop = 3.0;     // half width of the embankment's crown
const double sideSlope = 1.5;   // horizontal per vertical on its sides
const double gauge = 1.435;     // between the rails
const double railHead = 0.17;   // top of rail above the crown

const unsigned groundClass = 2, vegetationClass = 5, railClass = 10;

double smoothstep(double t)
{
    t = std::fmin(1.0, std::fmax(0.0, t));
    return t * t * (3.0 - 2.0 * t);
}

// Ground height at local (x, y), both 0..2000.
double ground(double x, double y)
{
    const double hills = 34.0 + 12.0 * std::sin(x / 310.0) * std::cos(y / 420.0) +
                         4.0 * std::sin((x + 2.0 * y) / 170.0) + 1.5 * std::sin(x / 37.0) * std::sin(y / 53.0);
    // The valley winds north; its floor rises from -7 m in the south to +9 m in the north.
    const double centre = 1000.0 + 260.0 * std::sin(y / 650.0);
    const double floor = -7.0 + 16.0 * y / areaSize;
    const double across = smoothstep(std::fabs(x - centre) / 240.0);
    double z = floor + (hills - floor) * across;

    // The railway runs level-graded from 20 m in the west to 24 m in the east: an
    // embankment over low ground, a cutting through high ground.
    const double rail = 20.0 + 4.0 * x / areaSize;
    const double d = std::fabs(y - railY);
    const double beyond = std::fmax(0.0, d - railTop);
    if (z < rail)
        z = std::fmax(z, rail - beyond / sideSlope);
    else
        z = std::fmin(z, rail + beyond / sideSlope);
    return z;
}

// How far inside a forest patch (x, y) lies: 0 outside, rising to 1 in its middle.
double forest(double x, double y, double z)
{
    if (z < 2.0 || std::fabs(y - railY) < 25.0)
        return 0.0;
    const double f = std::sin(x / 90.0 + 1.3) * std::sin(y / 120.0) + 0.5 * std::sin((x - y) / 60.0);
    return f > 0.55 ? smoothstep((f - 0.5) / 0.4) : 0.0;
}

// Crowns of about 4 m across, up to 17 m above the ground, lower at the forest's edge.
double canopy(double x, double y, double inside)
{
    const double full = 13.0 + 3.0 * std::sin(x / 23.0) * std::cos(y / 31.0) +
                        2.5 * std::fabs(std::sin(x / 2.1) * std::sin(y / 1.9)) - 1.5;
    return 2.0 + (full - 2.0) * inside;
}
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
