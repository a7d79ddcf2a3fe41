#include "demo/tools/DemoArea.h"

#include <algorithm>
#include <cmath>

namespace DemoArea
{

double smoothstep(double t)
{
    t = std::fmin(1.0, std::fmax(0.0, t));
    return t * t * (3.0 - 2.0 * t);
}

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

double forest(double x, double y, double z)
{
    if (z < 2.0 || std::fabs(y - railY) < 25.0)
        return 0.0;
    const double f = std::sin(x / 90.0 + 1.3) * std::sin(y / 120.0) + 0.5 * std::sin((x - y) / 60.0);
    return f > 0.55 ? smoothstep((f - 0.5) / 0.4) : 0.0;
}

double canopy(double x, double y, double inside)
{
    // Crowns of about 4 m across, up to 17 m above the ground, lower at the forest's edge.
    const double full = 13.0 + 3.0 * std::sin(x / 23.0) * std::cos(y / 31.0) +
                        2.5 * std::fabs(std::sin(x / 2.1) * std::sin(y / 1.9)) - 1.5;
    return 2.0 + (full - 2.0) * inside;
}

double fromPowerLine(double x, double y)
{
    double nearest = HUGE_VAL;
    for (int leg = 0; leg < 2; ++leg)
    {
        const osg::Vec2d a = powerLineRoute[leg], b = powerLineRoute[leg + 1], p(x, y);
        const osg::Vec2d ab = b - a;
        const double t = std::clamp(((p - a) * ab) / (ab * ab), 0.0, 1.0);
        nearest = std::min(nearest, (p - (a + ab * t)).length());
    }
    return nearest;
}

} // namespace DemoArea
