#include "tests/support/TestSupport.h"

#include "tin/tiling/TilePointStore.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

// Against a plain list per tile, over random files: points for a few tiles, some expected in
// advance (with room too small, enough or far too much), some files dropped halfway. Every
// tile gives back exactly its points in the order they came, whether the budget keeps them
// in memory or sends them to the temporary file in many rounds; taking or dropping a tile
// empties it, and the temporary file is gone with the store.
TEST(TilePointStore, GivesBackEveryTilesPointsInOrderAcrossBlocksFilesAndSpills)
{
    for (std::uint64_t budget : {std::uint64_t(1) << 40, std::uint64_t(48) << 10})
    {
        tavritest::TempDir dir;
        std::map<std::uint64_t, std::vector<osg::Vec3d>> expected;
        std::uint64_t spilled = 0;
        {
            osgTAVRI::TilePointStore store(budget, dir.path());
            std::mt19937 random(budget % 1000 + 3);
            std::uniform_int_distribution<int> pick(0, 999);
            double serial = 0.0;
            for (int file = 0; file < 40; ++file)
            {
                std::map<std::uint64_t, std::vector<osg::Vec3d>> before = expected;
                store.beginFile();
                for (int k = pick(random) % 3; k > 0; --k)
                    store.expect(std::uint64_t(pick(random) % 6), std::uint64_t(pick(random) * (k == 2 ? 50 : 1)));
                for (int i = pick(random) * 3; i > 0; --i)
                {
                    const std::uint64_t tile = std::uint64_t(pick(random) % 6);
                    const osg::Vec3d point(serial, -serial, double(tile));
                    serial += 1.0;
                    store.add(tile, point);
                    expected[tile].push_back(point);
                }
                if (file % 7 == 3)
                {
                    store.dropFile();
                    expected = before;
                }
            }
            spilled = store.getSpilledBytes();
            store.drop(5);
            expected.erase(5);
            for (std::uint64_t tile = 0; tile < 6; ++tile)
            {
                ASSERT_EQ(store.count(tile), expected[tile].size()) << "tile " << tile;
                osg::ref_ptr<osg::Vec3dArray> points = store.take(tile);
                EXPECT_TRUE(std::vector<osg::Vec3d>(points->begin(), points->end()) == expected[tile])
                    << "tile " << tile << ", budget " << budget;
                EXPECT_EQ(store.count(tile), 0u);
                EXPECT_EQ(store.take(tile)->size(), 0u);
            }
        }
        EXPECT_EQ(spilled > 0, budget < (std::uint64_t(1) << 20)) << spilled;
        EXPECT_TRUE(tavritest::listDir(dir.path()).empty());
    }
}
