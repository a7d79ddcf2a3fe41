// Draws the demo's orthophoto: the aerial image an agency would deliver with the scan, of the
// same place. Fields in parcels with their crop rows, forest crowns, the railway with its
// ballast, sleepers and verges, the power line's cleared corridor through the forest, the
// shore and the sea, all under the light of a low sun that shades the hills. Written as a
// tiled, JPEG-compressed GeoTIFF in the demo's national grid through GDAL.
//
// Usage: make_demo_orthophoto <output.tif>
#include "demo/tools/DemoArea.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
using namespace DemoArea;
const double pixel = 0.5;                       // metres
const int size = int(areaSize / pixel);          // pixels on each side
const double heightStep = 1.0;                   // metres between the samples of the height grid
const int heightSamples = int(areaSize / heightStep) + 2;

struct Colour
{
    double r, g, b;
};

Colour mix(const Colour& a, const Colour& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(const Colour& c, double f) { return {c.r * f, c.g * f, c.b * f}; }

// Integer hash to [0, 1): the seed of every random-looking detail, the same on every run.
double hash(std::int64_t x, std::int64_t y, std::uint32_t seed = 0)
{
    std::uint64_t h = std::uint64_t(x) * 0x9E3779B97F4A7C15ull ^ (std::uint64_t(y) + 0x632BE59BD9B4E019ull + seed) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return double(h >> 11) / double(1ull << 53);
}

// Value noise, smooth over cells of `cell` metres.
double noise(double x, double y, double cell, std::uint32_t seed)
{
    const double u = x / cell, v = y / cell;
    const double fu = std::floor(u), fv = std::floor(v);
    const double tu = smoothstep(u - fu), tv = smoothstep(v - fv);
    const std::int64_t iu = std::int64_t(fu), iv = std::int64_t(fv);
    const double a = hash(iu, iv, seed), b = hash(iu + 1, iv, seed), c = hash(iu, iv + 1, seed),
                 d = hash(iu + 1, iv + 1, seed);
    return (a + (b - a) * tu) + ((c + (d - c) * tu) - (a + (b - a) * tu)) * tv;
}

class HeightGrid
{
public:
    HeightGrid() : z(std::size_t(heightSamples) * heightSamples)
    {
        for (int j = 0; j < heightSamples; ++j)
            for (int i = 0; i < heightSamples; ++i)
                z[std::size_t(j) * heightSamples + i] = ground(i * heightStep, j * heightStep);
    }

    double at(double x, double y) const
    {
        const double u = std::clamp(x / heightStep, 0.0, heightSamples - 1.001);
        const double v = std::clamp(y / heightStep, 0.0, heightSamples - 1.001);
        const int i = int(u), j = int(v);
        const double tu = u - i, tv = v - j;
        const double* row = &z[std::size_t(j) * heightSamples + i];
        const double lower = row[0] + (row[1] - row[0]) * tu;
        const double upper = row[heightSamples] + (row[heightSamples + 1] - row[heightSamples]) * tu;
        return lower + (upper - lower) * tv;
    }

private:
    std::vector<double> z;
};

// Crops of the field parcels: ripe grain, green crop, pasture, ploughed soil, fallow.
const Colour crops[] = {{196, 178, 108}, {104, 140, 58}, {124, 150, 78}, {128, 102, 78}, {150, 140, 96}};

Colour field(double x, double y)
{
    // Parcels on a grid turned a little from north, as old land division often lies.
    const double angle = 0.21;
    const double u = x * std::cos(angle) + y * std::sin(angle) + 37.0;
    const double v = -x * std::sin(angle) + y * std::cos(angle) + 11.0;
    const double pu = std::floor(u / 170.0), pv = std::floor(v / 95.0);
    const double du = std::min(u - pu * 170.0, (pu + 1) * 170.0 - u);
    const double dv = std::min(v - pv * 95.0, (pv + 1) * 95.0 - v);
    if (std::min(du, dv) < 1.6)
        return mix(Colour{92, 98, 58}, Colour{150, 140, 110}, hash(std::int64_t(pu), std::int64_t(pv), 7));
    const double pick = hash(std::int64_t(pu), std::int64_t(pv), 3);
    Colour c = crops[std::min(4, int(pick * 5.0))];
    // Rows of the crop run along the parcel's long side.
    const bool alongU = hash(std::int64_t(pu), std::int64_t(pv), 5) < 0.7;
    const double rows = std::sin((alongU ? v : u) * 2.0 * M_PI / 2.5);
    c = scale(c, 0.94 + 0.06 * rows);
    return scale(c, 0.9 + 0.2 * noise(x, y, 25.0, 11));
}

// Tree crowns seen from above: one tree in each cell of a jittered 4 m grid, a disc of 1.4 to
// 2.4 m lit on its south-west side, with the dark forest floor in the gaps. Near the forest's
// edge (`inside` small) fewer cells hold a tree, so the edge is ragged as a real one.
bool forestCrowns(double x, double y, double inside, Colour& out)
{
    const double cell = 4.0;
    const std::int64_t cx = std::int64_t(std::floor(x / cell)), cy = std::int64_t(std::floor(y / cell));
    double best = 1e9, bestRadius = 0.0, dxBest = 0.0, dyBest = 0.0;
    std::int64_t tree = -1;
    for (std::int64_t j = cy - 1; j <= cy + 1; ++j)
        for (std::int64_t i = cx - 1; i <= cx + 1; ++i)
        {
            if (hash(i, j, 41) > inside * 2.5)
                continue;
            const double tx = (i + 0.2 + 0.6 * hash(i, j, 43)) * cell, ty = (j + 0.2 + 0.6 * hash(i, j, 47)) * cell;
            const double radius = 1.4 + hash(i, j, 53);
            const double dx = x - tx, dy = y - ty;
            const double d = std::sqrt(dx * dx + dy * dy) / radius;
            if (d < 1.0 && d < best)
            {
                best = d;
                bestRadius = radius;
                dxBest = dx;
                dyBest = dy;
                tree = i * 7919 + j;
            }
        }
    if (tree < 0)
    {
        if (inside <= 0.15)
            return false;
        out = Colour{30, 40, 24}; // the floor between the crowns
        return true;
    }
    const bool conifer = hash(tree, 0, 59) < 0.6;
    const Colour base = conifer ? Colour{30, 60, 34} : Colour{62, 94, 46};
    // A dome lit from the south-west: brighter where its surface faces the sun.
    const double nx = dxBest / bestRadius, ny = dyBest / bestRadius;
    const double lit = std::clamp(0.6 - 0.5 * (nx + ny) * 0.7 + 0.4 * std::sqrt(std::max(0.0, 1.0 - best * best)), 0.2, 1.3);
    out = scale(base, lit);
    return true;
}

Colour railway(double x, double d)
{
    const double halfGauge = gauge / 2.0;
    if (std::fabs(d - halfGauge) < 0.09)
        return {74, 72, 76};
    if (d < 1.3 && std::fmod(x + 1000.0, 0.6) < 0.22)
        return {88, 76, 64}; // sleepers
    return scale(Colour{128, 120, 110}, 0.92 + 0.16 * hash(std::int64_t(x * 8), std::int64_t(d * 8), 17));
}

Colour colourAt(const HeightGrid& heights, double x, double y)
{
    const double z = heights.at(x, y);
    if (z < 0.0)
    {
        // Shallow water shows the sand under it; deeper water goes dark.
        const double depth = smoothstep(-z / 6.0);
        const Colour c = mix(Colour{108, 150, 136}, Colour{26, 58, 82}, depth);
        return scale(c, 0.96 + 0.08 * noise(x, y, 6.0, 19));
    }
    Colour c;
    const double d = std::fabs(y - railY);
    const double inside = forest(x, y, z);
    if (z < 0.35)
        c = Colour{158, 148, 114}; // wet sand
    else if (z < 1.6)
        c = scale(Colour{206, 194, 152}, 0.94 + 0.1 * noise(x, y, 3.0, 23));
    else if (d < railTop)
        c = railway(x, d);
    else if (d < railTop + 9.0)
        c = scale(Colour{118, 124, 76}, 0.9 + 0.2 * noise(x, y, 4.0, 29)); // verges and embankment
    else if (fromPowerLine(x, y) < 15.0)
        // The power line's corridor: kept clear of trees and left as rough grass and scrub.
        c = scale(mix(Colour{118, 132, 72}, Colour{84, 104, 56}, noise(x, y, 5.0, 37)), 0.9 + 0.2 * noise(x, y, 1.5, 31));
    else if (!forestCrowns(x, y, inside, c))
        c = field(x, y);
    if (z < 3.0 && inside == 0.0 && d >= railTop + 9.0)
        c = mix(c, Colour{132, 146, 96}, (3.0 - z) / 3.0 * 0.6); // meadow along the shore

    // Hill shading of a low sun in the south-west.
    const double gx = (heights.at(x + 1.0, y) - heights.at(x - 1.0, y)) / 2.0;
    const double gy = (heights.at(x, y + 1.0) - heights.at(x, y - 1.0)) / 2.0;
    const double length = std::sqrt(gx * gx + gy * gy + 1.0);
    const double sx = -0.55, sy = -0.45, sz = 0.7;
    const double light = (-gx * sx - gy * sy + sz) / length / std::sqrt(sx * sx + sy * sy + sz * sz);
    return scale(c, 0.75 + 0.35 * std::clamp(light, 0.0, 1.0));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "Usage: %s <output.tif>\n", argv[0]);
        return 1;
    }
    const std::string path = argv[1];
    const std::string part = path + ".part";
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    const char* options[] = {"TILED=YES", "COMPRESS=JPEG", "PHOTOMETRIC=YCBCR", "JPEG_QUALITY=90", nullptr};
    GDALDataset* image = driver ? driver->Create(part.c_str(), size, size, 3, GDT_Byte, const_cast<char**>(options))
                                : nullptr;
    if (!image)
    {
        std::fprintf(stderr, "%s: cannot create %s\n", argv[0], part.c_str());
        return 1;
    }
    double transform[6] = {originX, pixel, 0.0, originY + areaSize, 0.0, -pixel};
    image->SetGeoTransform(transform);
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    image->SetSpatialRef(&srs);

    const HeightGrid heights;
    const int strip = 256;
    std::vector<unsigned char> rows(std::size_t(size) * strip * 3);
    bool ok = true;
    for (int top = 0; top < size && ok; top += strip)
    {
        const int count = std::min(strip, size - top);
        for (int j = 0; j < count; ++j)
            for (int i = 0; i < size; ++i)
            {
                const Colour c = colourAt(heights, (i + 0.5) * pixel, areaSize - (top + j + 0.5) * pixel);
                unsigned char* out = &rows[(std::size_t(j) * size + i) * 3];
                out[0] = (unsigned char)std::clamp(std::lround(c.r), 0L, 255L);
                out[1] = (unsigned char)std::clamp(std::lround(c.g), 0L, 255L);
                out[2] = (unsigned char)std::clamp(std::lround(c.b), 0L, 255L);
            }
        ok = image->RasterIO(GF_Write, 0, top, size, count, rows.data(), size, count, GDT_Byte, 3, nullptr, 3,
                             GSpacing(size) * 3, 1, nullptr) == CE_None;
    }
    GDALClose(image);
    if (!ok || std::rename(part.c_str(), path.c_str()) != 0)
    {
        std::remove(part.c_str());
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
        return 1;
    }
    return 0;
}
