#include "tin/ScopedTimer.h"
#include "tin/TileDriver.h"
#include "tin/TileNaming.h"

#include <gtest/gtest.h>

using namespace osgTAVRI;

TEST(ScopedTimer, elapsedTimeFormats)
{
    EXPECT_EQ(ScopedTimer::formatElapsed(0.0), "0.00 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(12.344), "12.34 s");
    // A whole minute or hour only counts once it is exceeded.
    EXPECT_EQ(ScopedTimer::formatElapsed(60.0), "60.00 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(60.5), "1 m, 0 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(125.9), "2 m, 5 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(3600.0), "60 m, 0 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(3601.0), "1 h, 0 m, 1 s");
    EXPECT_EQ(ScopedTimer::formatElapsed(2 * 3600.0 + 61.7), "2 h, 1 m, 1 s");
    // Inside an hour that was exceeded, a remainder of exactly 60 s is not a minute.
    EXPECT_EQ(ScopedTimer::formatElapsed(3660.0), "1 h, 0 m, 60 s");
}

TEST(TileNaming, threeModes)
{
    const osg::BoundingBoxd a(100000, 6400000, -10000, 101000, 6401000, 10000);
    const osg::BoundingBoxd b(101000, 6400000, -10000, 102000, 6401000, 10000);
    EXPECT_EQ(tileName(CoordsSize, a, 0, 0), "6400000_100000_1000");
    EXPECT_EQ(tileName(CoordsSize, b, 0, 1), "6400000_101000_1000");
    EXPECT_EQ(tileName(TruncCoords, a, 0, 0), "6400_100");
    EXPECT_EQ(tileName(TruncCoords, b, 0, 1), "6400_101");
    EXPECT_EQ(tileName(RowCol, b, 0, 1), "0_1");

    // The divisor follows the size: 10000, 100, 1; conversions truncate toward zero.
    EXPECT_EQ(tileName(TruncCoords, osg::BoundingBoxd(20000, 60000, 0, 30000, 70000, 0), 0, 0), "6_2");
    EXPECT_EQ(tileName(TruncCoords, osg::BoundingBoxd(250, 1550, 0, 450, 1750, 0), 0, 0), "15_2");
    EXPECT_EQ(tileName(TruncCoords, osg::BoundingBoxd(-7.5, 3.9, 0, 7.5, 18.9, 0), 0, 0), "3_-7");
    EXPECT_EQ(tileName(CoordsSize, osg::BoundingBoxd(-0.5, 2.5, 0, 999.5, 1002.5, 0), 0, 0), "2_0_1000");
}

namespace
{
TinOptions optionsFor(double x0, double y0, double x1, double y1, double size)
{
    TinOptions options;
    options.extent.set(x0, y0, -10000, x1, y1, 10000);
    options.tileSize = size;
    options.files = {"a.las"};
    options.naming = RowCol;
    return options;
}
} // namespace

TEST(TileDriver, gridCoversTheExtentRowByRowFromTheBottom)
{
    std::vector<TileJob> tiles;
    std::string error;
    ASSERT_TRUE(planTiles(optionsFor(0, 0, 2500, 1000, 1000), tiles, error));
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[2].bounds.xMin(), 2000.0);
    EXPECT_EQ(tiles[2].bounds.xMax(), 3000.0);
    EXPECT_EQ(tiles[2].bounds.zMin(), -10000.0);
    EXPECT_EQ(tiles[2].bounds.zMax(), 10000.0);

    ASSERT_TRUE(planTiles(optionsFor(0, 0, 2000, 1500, 1000), tiles, error));
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_EQ(tiles[1].name, "0_1");
    EXPECT_EQ(tiles[2].name, "1_0");
    EXPECT_EQ(tiles[2].bounds.yMin(), 1000.0);
    EXPECT_EQ(tiles[3].files, std::vector<std::string>{"a.las"});

    // Never set: no tile at all.
    TinOptions unset;
    ASSERT_TRUE(planTiles(unset, tiles, error));
    EXPECT_TRUE(tiles.empty());
}

TEST(TileDriver, refusesGridsBeyond32Bits)
{
    std::vector<TileJob> tiles;
    std::string error;
    EXPECT_FALSE(planTiles(optionsFor(0, 0, 1e6, 1e6, 0.001), tiles, error));
    EXPECT_NE(error.find("32 bits"), std::string::npos);
    EXPECT_FALSE(planTiles(optionsFor(0, 0, 1e300, 10, 1000), tiles, error));
    // 65536 x 65536 tiles are 2^32, one more than fits.
    EXPECT_FALSE(planTiles(optionsFor(0, 0, 65536, 65536, 1), tiles, error));
    EXPECT_FALSE(planTiles(optionsFor(3e9, 0, 3e9 + 10, 10, 10), tiles, error));
    EXPECT_NE(error.find("tile names"), std::string::npos);
}

TEST(TileDriver, dealsRoundRobin)
{
    std::vector<TileJob> tiles(7);
    for (std::size_t k = 0; k < tiles.size(); ++k)
        tiles[k].name = std::to_string(k);
    const auto lists = dealTiles(tiles, 3);
    ASSERT_EQ(lists.size(), 3u);
    ASSERT_EQ(lists[0].size(), 3u);
    EXPECT_EQ(lists[1].size(), 2u);
    EXPECT_EQ(lists[2].size(), 2u);
    EXPECT_EQ(lists[0][0].name, "0");
    EXPECT_EQ(lists[0][1].name, "3");
    EXPECT_EQ(lists[0][2].name, "6");
    EXPECT_EQ(lists[2][1].name, "5");
}
