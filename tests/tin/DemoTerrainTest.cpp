#include "tests/support/TestSupport.h"

#include "tin/las/LasError.h"
#include "tin/las/LasReader.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osgDB/ReadFile>

#include <cstring>
#include <fstream>
#include <set>
#include <unordered_map>

namespace
{
std::uint64_t positionKey(float x, float y)
{
    std::uint32_t bx = 0, by = 0;
    std::memcpy(&bx, &x, sizeof bx);
    std::memcpy(&by, &y, sizeof by);
    return (std::uint64_t(bx) << 32) | by;
}
} // namespace

// The demo's scan is classified as a delivery is (ground 2, vegetation 5, rail 10), and the
// terrain that `make dist` lays out is made of its ground alone: every vertex of every tile
// is a ground point, so neither the forest canopy nor the rails stand in it.
TEST(DemoTerrain, TilesAreMadeOfTheScansGroundPointsOnly)
{
    const std::string las = tavritest::buildDir() + "/demo/demo-terrain.las";
    const std::string terrain = tavritest::distDir() + "/Content/Terrain";
    // `make test` lays out the demo; builds of tin alone (make test-tsan) have none.
    if (!tavritest::fileExists(las))
        GTEST_SKIP() << "no demo scan in this build (" << las << "); make dist generates it";

    struct Ground
    {
        double x, y, z;
    };
    std::vector<Ground> ground;
    std::set<unsigned> classes;
    {
        std::ifstream stream(las.c_str(), std::ios::binary);
        osgTAVRI::LasReader reader(stream, las);
        while (reader.readNextPoint())
        {
            const osgTAVRI::LasPoint& p = reader.getPoint();
            classes.insert(p.getClassification());
            if (p.getClassification() == 2)
                ground.push_back({p.getX(), p.getY(), p.getZ()});
        }
    }
    EXPECT_EQ(classes, (std::set<unsigned>{2, 5, 10}));

    std::vector<std::string> tiles;
    for (const std::string& f : tavritest::listDir(terrain))
        if (f.size() > 4 && f.compare(f.size() - 4, 4, ".ive") == 0 && f != "terrain.ive")
            tiles.push_back(f);
    ASSERT_EQ(tiles.size(), 16u) << "in " << terrain;
    for (const std::string& tile : tiles)
    {
        osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(terrain + "/" + tile);
        auto* transform = dynamic_cast<osg::MatrixTransform*>(node.get());
        ASSERT_TRUE(transform && transform->getChild(0)->asGeode()) << tile;
        const osg::Vec3d centre = transform->getMatrix().getTrans();
        const auto* vertices = dynamic_cast<const osg::Vec3Array*>(
            transform->getChild(0)->asGeode()->getDrawable(0)->asGeometry()->getVertexArray());
        ASSERT_TRUE(vertices && vertices->size() > 1000) << tile;

        // A vertex is a point relative to the tile's centre, made single precision.
        std::unordered_map<std::uint64_t, float> groundAt;
        for (const Ground& g : ground)
            groundAt.emplace(positionKey(float(g.x - centre.x()), float(g.y - centre.y())), float(g.z));
        std::size_t notGround = 0;
        for (const osg::Vec3& v : *vertices)
        {
            const auto it = groundAt.find(positionKey(v.x(), v.y()));
            notGround += it == groundAt.end() || it->second != v.z();
        }
        EXPECT_EQ(notGround, 0u) << tile << ": vertices that are not ground points of the scan";
    }
}
