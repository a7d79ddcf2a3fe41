#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include "tests/support/PointCloudInput.h"

#include <fstream>

using tavritest::readTilePoints;
using tintest::SynthPoint;

namespace
{
// The tile 1000..2000 x 5000..6000 reads 950..2050 x 4950..6050.
osg::BoundingBoxd tile() { return osg::BoundingBoxd(1000, 5000, -10000, 2000, 6000, 10000); }
const std::vector<std::uint16_t> firstReturn{1};
} // namespace

TEST(PointCloudInput, KeepsPointsOnTheReadBoxEdgeAndDropsOutsideZ)
{
    tavritest::TempDir dir;
    const std::string file = tintest::writeLas(dir.file("a.las"),
        {{2050.0, 5500.0, 1.0},      // on the enlarged max X edge: kept
         {950.0, 4950.0, 2.0},       // on the enlarged min corner: kept
         {2050.01, 5500.0, 3.0},     // just outside: dropped
         {1500.0, 6050.0, 10000.0},  // on max Y and max Z: kept
         {1500.0, 5500.0, 10000.5},  // above the Z range: dropped
         {1500.0, 5500.0, -10000.5}, // below: dropped
         {1500.0, 5500.0, 7.0, 2, 2}}); // second return: never kept
    osg::ref_ptr<osg::Vec3dArray> points = readTilePoints(firstReturn, 1, {file}, tile());
    ASSERT_EQ(points->size(), 3u);
    // Relative to the centre (1500, 5500); Z unchanged.
    EXPECT_EQ((*points)[0], osg::Vec3d(550.0, 0.0, 1.0));
    EXPECT_EQ((*points)[1], osg::Vec3d(-550.0, -550.0, 2.0));
    EXPECT_EQ((*points)[2], osg::Vec3d(0.0, 550.0, 10000.0));
}

TEST(PointCloudInput, ReadsAFileThatOnlyTouchesTheReadBox)
{
    tavritest::TempDir dir;
    // The file's extent ends exactly at xMin - mx = 950; its one point lies there.
    const std::string touching = tintest::writeLas(dir.file("t.las"), {{900.0, 5500.0, 1.0}, {950.0, 5500.0, 1.0}});
    const std::string apart = tintest::writeLas(dir.file("f.las"), {{900.0, 5500.0, 1.0}, {949.99, 5500.0, 1.0}});
    EXPECT_EQ(readTilePoints(firstReturn, 1, {touching}, tile())->size(), 1u);
    EXPECT_EQ(readTilePoints(firstReturn, 1, {apart}, tile())->size(), 0u);
}

TEST(PointCloudInput, ThinsFirstReturnsPerFileAndRepeatsOverlaps)
{
    tavritest::TempDir dir;
    std::vector<SynthPoint> points;
    for (int i = 0; i < 12; ++i)
        points.push_back({1100.0 + i, 5100.0, 0.0, unsigned(1 + i % 2), 2u});
    const std::string a = tintest::writeLas(dir.file("a.las"), points);
    const std::string b = tintest::writeLas(dir.file("b.las"), points);

    EXPECT_EQ(readTilePoints(firstReturn, 0, {a}, tile())->size(), 6u);
    EXPECT_EQ(readTilePoints(firstReturn, 1, {a}, tile())->size(), 6u);
    // Of the six first returns x = 1100, 1102, ... one in three: 1100 and 1106, in each file.
    osg::ref_ptr<osg::Vec3dArray> thinned = readTilePoints(firstReturn, 3, {a, b}, tile());
    ASSERT_EQ(thinned->size(), 4u);
    EXPECT_EQ((*thinned)[0].x(), -400.0);
    EXPECT_EQ((*thinned)[1].x(), -394.0);
    EXPECT_EQ((*thinned)[2], (*thinned)[0]);
    EXPECT_EQ((*thinned)[3], (*thinned)[1]);
    // An empty return list installs no return filter.
    EXPECT_EQ(readTilePoints({}, 1, {a}, tile())->size(), 12u);
}

TEST(PointCloudInput, ReportsMissingAndBadFilesAndGoesOn)
{
    tavritest::TempDir dir;
    const std::string good = tintest::writeLas(dir.file("good.las"), {{1500.0, 5500.0, 1.0}});
    const std::string laz = dir.file("bad.laz");
    const std::string bytes = tavritest::readFile(good);
    std::string compressed = bytes;
    compressed[104] = char(0x81);
    tavritest::writeFile(laz, compressed);
    const std::string truncated = dir.file("cut.las");
    tavritest::writeFile(truncated, bytes.substr(0, bytes.size() - 1));
    tavritest::writeFile(dir.file("text.las"), "not a point cloud\n");

    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<osg::Vec3dArray> points = readTilePoints(
        firstReturn, 1, {dir.file("missing.las"), laz, truncated, dir.file("text.las"), good}, tile());
    EXPECT_EQ(points->size(), 1u);
    const auto lines = capture.texts();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Could not open file \"" + dir.file("missing.las") + "\"");
    EXPECT_EQ(lines[1], "LasReader: " + laz + ": compressed, but the compression record is missing, file skipped");
    EXPECT_EQ(lines[2], "LasReader: " + truncated + ": damaged file: header claims 1 points but only 0 "
                        "complete records are present, file skipped");
    EXPECT_NE(lines[3].find("no LASF signature"), std::string::npos);
}

// Two real surveys of one patch: a tile over their shared extent holds both files'
// first returns, one file after the other.
TEST(PointCloudInput, OverlappingRealFiles)
{
    TAVRI_REQUIRE_SHARED_DATA();
    const std::string folder = tavritest::sharedData() + "/las/";
    const osg::BoundingBoxd box(194400, 259200, -10000, 194600, 259400, 10000);
    const auto a = readTilePoints(firstReturn, 1, {folder + "autzen-bmx-2010.las"}, box);
    const auto b = readTilePoints(firstReturn, 1, {folder + "autzen-bmx-2023.las"}, box);
    const auto both = readTilePoints(firstReturn, 1, {folder + "autzen-bmx-2010.las", folder + "autzen-bmx-2023.las"}, box);
    EXPECT_EQ(a->size(), 725u);
    EXPECT_EQ(b->size(), 673u);
    ASSERT_EQ(both->size(), a->size() + b->size());
    EXPECT_EQ((*both)[0], (*a)[0]);
    EXPECT_EQ((*both)[a->size()], (*b)[0]);
}
