#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/tin/imagery/ImageryTestSupport.h"
#include "tin/imagery/TileTexture.h"

#include <ogr_spatialref.h>
#include <osgDB/ReadFile>

#include <cmath>
#include <memory>

using namespace imagerytest;
using tavritest::TempDir;

namespace
{
// A 200 x 200 m ground in SWEREF 99 TM, cut into 2 x 2 tiles of 100 m.
const double groundX = 500000.0, groundY = 6600000.0, side = 200.0;
const std::string extent = "500000,6600000,500200,6600200";

// Every textured vertex inside its tile that lies at least `clear` metres from an edge of the
// pattern shows the pattern's colour; returns how many were compared.
std::size_t expectPattern(const std::string& dir, double clear, int tolerance)
{
    std::size_t compared = 0;
    for (const std::string& tile : tintest::tileFiles(dir))
    {
        const TileSamples t = sampleTile(dir + "/" + tile);
        EXPECT_GT(t.textureColumns, 0) << tile << " is not textured";
        for (const Sample& s : t.samples)
        {
            if (!s.textured || distanceToCellEdge(s.world.x(), s.world.y()) < clear || s.world.x() < groundX ||
                s.world.x() > groundX + side || s.world.y() < groundY || s.world.y() > groundY + side)
                continue;
            ++compared;
            const Rgb want = cellColour(s.world.x(), s.world.y());
            EXPECT_LE(colourDistance(s.texel, want), tolerance)
                << tile << " at " << s.world.x() << ", " << s.world.y() << ": texel " << int(s.texel[0]) << " "
                << int(s.texel[1]) << " " << int(s.texel[2]) << ", raster " << int(want[0]) << " " << int(want[1])
                << " " << int(want[2]);
        }
    }
    return compared;
}

// The pattern raster (0.5 m, 50 m around the ground), the scan, and tin's textured tiles of
// them, all in `dir`.
tavritest::RunResult buildPatternTiles(const TempDir& dir)
{
    const double transform[6] = {groundX - 50.0, 0.5, 0.0, groundY + side + 50.0, 0.0, -0.5};
    writeRaster(dir.file("pattern.tif"), 600, 600, transform, 3006, cellColour);
    writeGround(dir.file("ground.las"), groundX, groundY, groundX + side, groundY + side, wktOf(3006));
    return tintest::runTin(
        {"--extents", extent, "--tileSize", "100", "--texture", dir.file("pattern.tif"), dir.file("ground.las")}, dir.path());
}

int countLines(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}
} // namespace

// A raster with a known pattern, written by GDAL: after tin --texture every ground point shows,
// through its texture coordinates, the colour the raster has there; textures are powers of two,
// at the raster's own resolution by default and coarser on request.
TEST(TileTexture, GroundPointsShowTheRastersColours)
{
    TempDir dir;
    tavritest::RunResult r = buildPatternTiles(dir);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(countLines(r.out + r.err, "Texture:"), 0) << "same systems need no line: " << r.out << r.err;
    EXPECT_GT(expectPattern(dir.path(), 0.75, 8), 1500u);
    for (const std::string& tile : tintest::tileFiles(dir.path()))
    {
        const TileSamples t = sampleTile(dir.file(tile));
        // 100 m at the raster's 0.5 m need 200 texels: 256, one power of two above.
        EXPECT_EQ(t.textureColumns, 256) << tile;
        EXPECT_EQ(t.textureRows, 256) << tile;
    }

    // Other resolutions, interpolated (0.4 m) and averaged (2 m) from the raster's pixels; the
    // scan without a coordinate system is taken to be in the raster's.
    struct Case
    {
        const char* resolution;
        int edge;
        double clear;
    };
    for (const Case& c : {Case{"0.4", 256, 1.0}, Case{"2", 64, 3.0}})
    {
        TempDir other;
        writeGround(other.file("ground.las"), groundX, groundY, groundX + side, groundY + side, "");
        r = tintest::runTin({"--extents", extent, "--tileSize", "100", "--texture", dir.file("pattern.tif"),
                             "--textureResolution", c.resolution, other.file("ground.las")},
                            other.path());
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(countLines(r.out + r.err, "is unknown; the two are assumed to match"), 1) << r.out << r.err;
        EXPECT_GT(expectPattern(other.path(), c.clear, 12), 800u) << c.resolution;
        for (const std::string& tile : tintest::tileFiles(other.path()))
            EXPECT_EQ(sampleTile(other.file(tile)).textureColumns, c.edge) << tile << " at " << c.resolution;
    }
}

// The same pattern drawn in a raster in geographic coordinates lands in the same place: GDAL
// warps each tile's texture into the scan's projected system.
TEST(TileTexture, RasterInAnotherSystemIsWarpedIntoPlace)
{
    TempDir dir;
    OGRSpatialReference geographic, projected;
    geographic.importFromEPSG(4326);
    projected.importFromEPSG(3006);
    geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    projected.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> toGrid(OGRCreateCoordinateTransformation(&geographic, &projected));
    std::unique_ptr<OGRCoordinateTransformation> toDegrees(OGRCreateCoordinateTransformation(&projected, &geographic));
    ASSERT_TRUE(toGrid && toDegrees);
    // Degrees around the ground, with 50 m to spare.
    double lon[2] = {groundX - 50.0, groundX + side + 50.0}, lat[2] = {groundY - 50.0, groundY + side + 50.0};
    ASSERT_TRUE(toDegrees->Transform(2, lon, lat));
    const int columns = 700, rows = 900;
    const double transform[6] = {lon[0], (lon[1] - lon[0]) / columns, 0.0, lat[1], 0.0, -(lat[1] - lat[0]) / rows};
    writeRaster(dir.file("degrees.tif"), columns, rows, transform, 4326, [&](double lo, double la) {
        double x = lo, y = la;
        toGrid->Transform(1, &x, &y);
        return cellColour(x, y);
    });
    writeGround(dir.file("ground.las"), groundX, groundY, groundX + side, groundY + side, wktOf(3006));
    const tavritest::RunResult r = tintest::runTin(
        {"--extents", extent, "--tileSize", "100", "--texture", dir.file("degrees.tif"), dir.file("ground.las")}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(countLines(r.out, "is warped into the LAS files' system"), 1) << r.out << r.err;
    EXPECT_NE(r.out.find("WGS 84"), std::string::npos) << r.out;
    EXPECT_GT(expectPattern(dir.path(), 1.5, 12), 1500u);
}

// Tiles beyond the raster are built untextured and counted in one line, and ground the raster
// leaves out of a tile is plain; a raster that cannot be read ends the run before any tile is
// written. The raster is a palette image, one band of colour indices.
TEST(TileTexture, UncoveredTilesAndUnreadableRasters)
{
    TempDir dir;
    // The western half less its last 10 m: the two western tiles and nothing of the eastern ones.
    const double transform[6] = {groundX - 10.0, 0.5, 0.0, groundY + side + 10.0, 0.0, -0.5};
    writeRaster(dir.file("west.tif"), 200, 440, transform, 3006, cellColour, true);
    writeGround(dir.file("ground.las"), groundX, groundY, groundX + side, groundY + side, wktOf(3006));
    tavritest::RunResult r = tintest::runTin(
        {"--extents", extent, "--tileSize", "100", "--texture", dir.file("west.tif"), dir.file("ground.las")}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(countLines(r.out, "Texture: " + dir.file("west.tif") + " does not cover 2 of 4 tile(s)"), 1) << r.out;
    EXPECT_NE(r.out.find("Tiles written: 4 of 4"), std::string::npos) << r.out;
    for (const std::string& tile : tintest::tileFiles(dir.path()))
    {
        const bool west = tile.find("_500000_") != std::string::npos;
        const TileSamples t = sampleTile(dir.file(tile));
        EXPECT_EQ(t.textureColumns > 0, west) << tile;
        for (const Sample& s : t.samples)
        {
            if (!west || std::fabs(s.world.x() - (groundX + 90.0)) < 1.0 || distanceToCellEdge(s.world.x(), s.world.y()) < 0.75)
                continue;
            const Rgb want = s.world.x() < groundX + 90.0 ? cellColour(s.world.x(), s.world.y()) : Rgb(170, 170, 170, 255);
            EXPECT_LE(colourDistance(s.texel, want), 8) << tile << " at " << s.world.x() << ", " << s.world.y();
        }
    }

    TempDir bad;
    tavritest::writeFile(bad.file("broken.tif"), "II*\0 this is no image at all");
    writeGround(bad.file("ground.las"), groundX, groundY, groundX + side, groundY + side, "");
    for (const std::string& raster : {bad.file("broken.tif"), bad.file("missing.tif")})
    {
        r = tintest::runTin({"--extents", extent, "--tileSize", "100", "--texture", raster, bad.file("ground.las")},
                            bad.path());
        EXPECT_EQ(r.exitCode, 1) << raster;
        EXPECT_EQ(countLines(r.err, "cannot read the texture \"" + raster + "\""), 1) << r.out << r.err;
        EXPECT_TRUE(tintest::tileFiles(bad.path()).empty());
    }
}

// A level above the tiles gets its texture from its children's: composed from the four tiles
// tin wrote, at a quarter of their texels, it still shows the pattern where the tiles did.
TEST(TileTexture, ParentTextureComposedFromChildren)
{
    TempDir dir;
    ASSERT_EQ(buildPatternTiles(dir).exitCode, 0);
    std::vector<osgTAVRI::AreaTexture> children;
    for (const std::string& tile : tintest::tileFiles(dir.path()))
    {
        osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(dir.file(tile));
        children.push_back(osgTAVRI::tileTexture(*node));
        ASSERT_TRUE(children.back().image.valid()) << tile;
        // The area read back from the texture coordinates holds the tile's box.
        EXPECT_LE(children.back().area.xMin(), groundX + (tile.find("_500000_") != std::string::npos ? 0.0 : 100.0) + 1e-3);
        EXPECT_GE(children.back().area.xMax() - children.back().area.xMin(), 100.0 - 1e-3);
    }
    const osg::BoundingBoxd area(groundX, groundY, 0.0, groundX + side, groundY + side, 0.0);
    osg::ref_ptr<osg::Image> parent = osgTAVRI::composeTexture(children, area, 128, 128);
    int compared = 0;
    for (int j = 0; j < 128; ++j)
        for (int i = 0; i < 128; ++i)
        {
            const double x = groundX + (i + 0.5) * side / 128, y = groundY + (j + 0.5) * side / 128;
            if (distanceToCellEdge(x, y) < 2.5)
                continue;
            const unsigned char* p = parent->data(i, j);
            EXPECT_LE(colourDistance(Rgb(p[0], p[1], p[2], 255), cellColour(x, y)), 8) << x << ", " << y;
            ++compared;
        }
    EXPECT_GT(compared, 9000);
}
