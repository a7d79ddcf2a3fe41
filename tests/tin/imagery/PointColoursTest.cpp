#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/tin/imagery/ImageryTestSupport.h"
#include "tin/las/LasReader.h"
#include "tin/las/LasWriter.h"

#include <cmath>
#include <fstream>
#include <map>
#include <utility>

using namespace imagerytest;
using tavritest::TempDir;

namespace
{
// The colour of the lowest first return at each XY position of a file, as 16-bit values.
std::map<std::pair<double, double>, std::pair<double, osg::Vec3d>> firstReturnColours(const std::string& path)
{
    std::map<std::pair<double, double>, std::pair<double, osg::Vec3d>> colours;
    std::ifstream stream(path.c_str(), std::ios::binary);
    osgTAVRI::LasReader reader(stream, path);
    while (reader.readNextPoint())
    {
        const osgTAVRI::LasPoint& p = reader.getPoint();
        if (p.getReturnNumber() != 1)
            continue;
        const std::pair<double, osg::Vec3d> entry(p.getZ(), osg::Vec3d(p.getRed(), p.getGreen(), p.getBlue()));
        auto inserted = colours.emplace(std::make_pair(p.getX(), p.getY()), entry);
        if (!inserted.second && p.getZ() < inserted.first->second.first)
            inserted.first->second = entry;
    }
    return colours;
}

// Runs tin --colour rgb over the file's extent and checks every vertex's colour against the
// point it stands on, scaled as `eightBit` says.
void expectScanColours(const std::string& las, bool eightBit)
{
    std::ifstream stream(las.c_str(), std::ios::binary);
    const osgTAVRI::LasHeader header = osgTAVRI::LasReader(stream, las).getHeader();
    const auto colours = firstReturnColours(las);
    ASSERT_FALSE(colours.empty()) << las;
    TempDir dir;
    char extent[256];
    std::snprintf(extent, sizeof extent, "%.3f,%.3f,%.3f,%.3f", header.getMinX() - 0.5, header.getMinY() - 0.5,
                  header.getMaxX() + 0.5, header.getMaxY() + 0.5);
    const double size = std::max(header.getMaxX() - header.getMinX(), header.getMaxY() - header.getMinY()) / 2.0 + 1.0;
    const tavritest::RunResult r =
        tintest::runTin({"--extents", extent, "--tileSize", std::to_string(size), "--colour", "rgb", las}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::size_t checked = 0;
    for (const std::string& tile : tintest::tileFiles(dir.path()))
        for (const Sample& s : sampleTile(dir.file(tile)).samples)
        {
            ASSERT_TRUE(s.coloured) << tile;
            // Vertices are single precision relative to the tile centre: match within a millimetre.
            auto at = colours.lower_bound({s.world.x() - 1e-3, -1e300});
            bool found = false;
            for (; at != colours.end() && at->first.first <= s.world.x() + 1e-3 && !found; ++at)
                if (std::fabs(at->first.second - s.world.y()) < 1e-3)
                {
                    found = true;
                    const osg::Vec3d c = at->second.second;
                    const auto scaled = [&](double v) { return eightBit ? int(v) : int((v + 128) / 257); };
                    EXPECT_EQ(int(s.colour[0]), scaled(c.x())) << las;
                    EXPECT_EQ(int(s.colour[1]), scaled(c.y())) << las;
                    EXPECT_EQ(int(s.colour[2]), scaled(c.z())) << las;
                }
            EXPECT_TRUE(found) << las << ": no point at " << s.world.x() << ", " << s.world.y();
            ++checked;
        }
    EXPECT_GT(checked, colours.size() / 2) << las;
}
} // namespace

// The scans' own colours on the vertices. Both real scans with colour, point-color.las (point
// format 2) and autzen_trim_7.las (format 7 of LAS 1.4), keep 8 bits in the low byte (their
// values stay below 256) and are taken as they are; 16-bit colour is checked below.
TEST(PointColours, VerticesCarryTheScansColours)
{
    TAVRI_REQUIRE_SHARED_DATA();
    expectScanColours(tavritest::sharedData() + "/las/point-color.las", true);
    expectScanColours(tavritest::sharedData() + "/las/autzen_trim_7.las", true);
}

// The scale is judged per file: in one run, a file with 8-bit colour and one with the same
// colours in 16 bits give the same vertex colours, and a file of a format without colour gives
// white, with one line; --colour takes only rgb.
TEST(PointColours, EightBitFilesAreDetectedPerFile)
{
    TempDir dir;
    for (const bool wide : {false, true})
    {
        osgTAVRI::LasWriter::Settings settings;
        settings.pointFormat = 3;
        std::ofstream out(dir.file(wide ? "wide.las" : "narrow.las").c_str(), std::ios::binary);
        osgTAVRI::LasWriter writer(out, settings);
        const double x0 = wide ? 100.0 : 0.0;
        for (double y = 1.0; y < 100.0; y += 5.0)
            for (double x = x0 + 1.0; x < x0 + 100.0; x += 5.0)
            {
                const unsigned r = unsigned(x) % 256, g = unsigned(y * 2) % 256, b = 200;
                writer.setColour(std::uint16_t(wide ? r * 257 : r), std::uint16_t(wide ? g * 257 : g),
                                 std::uint16_t(wide ? b * 257 : b));
                writer.addPoint(x, y, 5.0 + 0.01 * x);
            }
        writer.finish();
    }
    std::vector<tintest::SynthPoint> plain;
    for (double y = 101.0; y < 200.0; y += 5.0)
        for (double x = 1.0; x < 200.0; x += 5.0)
            plain.push_back({x, y, 5.0});
    tintest::writeLas(dir.file("plain.las"), plain);
    tavritest::RunResult r = tintest::runTin({"--extents", "0,0,200,200", "--tileSize", "100", "--colour", "rgb",
                                              dir.file("narrow.las"), dir.file("wide.las"), dir.file("plain.las")},
                                             dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("plain.las: point format 1 carries no colour; its points are white"), std::string::npos)
        << r.err;
    std::size_t checked = 0;
    for (const std::string& tile : tintest::tileFiles(dir.path()))
        for (const Sample& s : sampleTile(dir.file(tile)).samples)
        {
            if (s.world.y() > 100.0)
            {
                EXPECT_EQ(s.colour, Rgb(255, 255, 255, 255));
                continue;
            }
            EXPECT_EQ(int(s.colour[0]), int(std::lround(s.world.x()) % 256)) << s.world.x();
            EXPECT_EQ(int(s.colour[1]), int(std::lround(s.world.y()) * 2 % 256)) << s.world.y();
            EXPECT_EQ(int(s.colour[2]), 200);
            ++checked;
        }
    EXPECT_GT(checked, 700u);

    r = tintest::runTin({"--extents", "0,0,200,100", "--colour", "rgba", dir.file("narrow.las")}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Invalid --colour: \"rgba\""), std::string::npos) << r.err;
}
