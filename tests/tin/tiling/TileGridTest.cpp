#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TileNaming.h"
#include "tin/TinOptions.h"

#include <gtest/gtest.h>

#include <map>
#include <cstdio>
#include <random>

using namespace osgTAVRI;

TEST(TileNaming, ThreeModes)
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

    // A number beyond int gives no name at all rather than an overflowed one.
    EXPECT_EQ(tileName(CoordsSize, osg::BoundingBoxd(3e9, 0, 0, 3e9 + 10, 10, 0), 0, 0), "");
    EXPECT_EQ(tileName(CoordsSize, osg::BoundingBoxd(-2e9, 0, 0, 2e9, 4e9, 0), 0, 0), "");
    EXPECT_EQ(tileName(RowCol, osg::BoundingBoxd(3e9, 0, 0, 3e9 + 10, 10, 0), 4000000000u, 1), "4000000000_1");
}

namespace
{
TinOptions optionsFor(double x0, double y0, double x1, double y1, double size, TileNaming naming = RowCol)
{
    TinOptions options;
    options.extent.set(x0, y0, -10000, x1, y1, 10000);
    options.tileSize = size;
    options.naming = naming;
    return options;
}

bool plan(TileGrid& grid, const TinOptions& options, std::string& error)
{
    return grid.plan(options.extent, options.tileSize, options.naming, error);
}
} // namespace

TEST(TileGrid, CoversTheExtentRowByRowFromTheBottom)
{
    TileGrid grid;
    std::string error;
    ASSERT_TRUE(plan(grid, optionsFor(0, 0, 2500, 1000, 1000), error));
    ASSERT_EQ(grid.getNumTiles(), 3u);
    EXPECT_EQ(grid.bounds(2), osg::BoundingBoxd(2000, 0, -10000, 3000, 1000, 10000));

    ASSERT_TRUE(plan(grid, optionsFor(0, 0, 2000, 1500, 1000), error));
    ASSERT_EQ(grid.getNumTiles(), 4u);
    EXPECT_EQ(grid.name(1), "0_1");
    EXPECT_EQ(grid.name(2), "1_0");
    EXPECT_EQ(grid.bounds(2).yMin(), 1000.0);

    // Never set: no tile at all.
    ASSERT_TRUE(plan(grid, TinOptions(), error));
    EXPECT_EQ(grid.getNumTiles(), 0u);
}

TEST(TileGrid, RefusesGridsBeyond32BitsAndNamesBeyondInt)
{
    TileGrid grid;
    std::string error;
    EXPECT_FALSE(plan(grid, optionsFor(0, 0, 1e6, 1e6, 0.001), error));
    EXPECT_NE(error.find("32 bits"), std::string::npos);
    EXPECT_FALSE(plan(grid, optionsFor(0, 0, 1e300, 10, 1000), error));
    // 65536 x 65536 tiles are 2^32, one more than fits.
    EXPECT_FALSE(plan(grid, optionsFor(0, 0, 65536, 65536, 1), error));

    ASSERT_TRUE(plan(grid, optionsFor(3e9, 0, 3e9 + 10, 10, 10, CoordsSize), error));
    EXPECT_FALSE(grid.checkNames(error));
    EXPECT_NE(error.find("range of tile names"), std::string::npos);
    // Row and column numbers never overflow.
    ASSERT_TRUE(plan(grid, optionsFor(3e9, 0, 3e9 + 10, 10, 10, RowCol), error));
    EXPECT_TRUE(grid.checkNames(error));
}

// The names of every tile of many grids, gathered one by one, against the check that
// walks rows and columns: it finds a clash exactly when there is one, and the two tiles it
// names really share a name. The grids cross 0, have origins off the integers (so the edge
// length that names carry varies with rounding) and sizes below 1 m.
TEST(TileGrid, NameCheckAgreesWithEveryName)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> origin(-3000.0, 3000.0);
    const double sizes[] = {0.25, 0.5, 1.0, 3.7, 99.99, 100.0, 250.0, 999.9999999, 1000.0, 2500.0, 10000.0};
    unsigned clashes = 0;
    for (int round = 0; round < 600; ++round)
        for (TileNaming naming : {CoordsSize, TruncCoords})
        {
            const double size = sizes[round % (sizeof sizes / sizeof sizes[0])];
            const double x0 = round % 3 == 0 ? std::round(origin(random)) + 0.1 : origin(random);
            const double y0 = origin(random);
            const unsigned columns = 1 + round % 7, rows = 1 + (round / 7) % 5;
            TileGrid grid;
            std::string error;
            ASSERT_TRUE(plan(grid, optionsFor(x0, y0, x0 + columns * size - size / 2, y0 + rows * size - size / 2,
                                             size, naming),
                                  error));
            std::map<std::string, std::uint64_t> seen;
            bool clash = false;
            for (std::uint64_t i = 0; i < grid.getNumTiles(); ++i)
                clash = !seen.emplace(grid.name(i), i).second || clash;
            const bool unique = grid.checkNames(error);
            ASSERT_EQ(unique, !clash) << naming << " " << x0 << " " << y0 << " " << size << " " << error;
            if (clash)
            {
                ++clashes;
                // "... row r1, column c1 and at row r2, column c2 would both be named "n"; ..."
                unsigned r1, c1, r2, c2;
                const std::size_t at = error.find("row ");
                ASSERT_EQ(std::sscanf(error.c_str() + at, "row %u, column %u and at row %u, column %u", &r1, &c1,
                                      &r2, &c2),
                          4)
                    << error;
                const std::uint64_t columnsOf = grid.getNumColumns();
                EXPECT_EQ(grid.name(r1 * columnsOf + c1), grid.name(r2 * columnsOf + c2)) << error;
                EXPECT_NE(r1 * columnsOf + c1, r2 * columnsOf + c2);
            }
        }
    EXPECT_GT(clashes, 50u) << "the sweep should hit clashing grids";
}
