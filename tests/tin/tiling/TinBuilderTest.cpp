#include "tests/tin/TinTestSupport.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include "tin/tiling/TinBuilder.h"

#include <osg/Geode>
#include <osg/Geometry>

#include <cmath>
#include <random>

using namespace osgTAVRI;

namespace
{
// Tile 0..100 x 0..100: centre (50, 50), points relative to it.
const osg::BoundingBoxd tileBox(0, 0, -10000, 100, 100, 10000);

// A triangle whose centroid is (cx, cy, z) relative to the tile centre.
void addTriangle(osg::Vec3dArray& points, osg::DrawElementsUInt& list, double cx, double cy,
                 double z = 0.0)
{
    const GLuint base = GLuint(points.size());
    points.push_back(osg::Vec3d(cx - 1, cy - 1, z));
    points.push_back(osg::Vec3d(cx + 1, cy - 1, z));
    points.push_back(osg::Vec3d(cx, cy + 2, z));
    list.push_back(base);
    list.push_back(base + 1);
    list.push_back(base + 2);
}

std::vector<GLuint> trimmed(double cx, double cy, double z = 0.0,
                            const osg::BoundingBoxd& bounds = tileBox)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    osg::ref_ptr<osg::DrawElementsUInt> list = new osg::DrawElementsUInt(GL_TRIANGLES);
    addTriangle(*points, *list, cx, cy, z);
    osg::ref_ptr<osg::DrawElementsUInt> kept = trimTriangles(points.get(), list.get(), bounds);
    return kept.valid() ? std::vector<GLuint>(kept->begin(), kept->end()) : std::vector<GLuint>{99};
}

osg::Geometry* geometryOf(osg::MatrixTransform* node)
{
    osg::Geode* geode = node->getChild(0)->asGeode();
    return geode ? geode->getDrawable(0)->asGeometry() : nullptr;
}

// A jittered grid over the tile and its 5 % margin, relative to the centre.
osg::ref_ptr<osg::Vec3dArray> terrain(unsigned seed, double step = 5.0)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (double y = -55; y <= 55; y += step)
        for (double x = -55; x <= 55; x += step)
            points->push_back(osg::Vec3d(x + jitter(random), y + jitter(random),
                                         10.0 + 3.0 * std::sin(x / 20.0) + 2.0 * std::cos(y / 15.0)));
    return points;
}
} // namespace

// The box is closed at its minimum and open at its maximum edges, in every axis that
// the centroid test uses; kept triangles keep their index order.
TEST(TrimTriangles, HalfOpenTileBox)
{
    EXPECT_EQ(trimmed(0, 0), (std::vector<GLuint>{0, 1, 2}));
    EXPECT_EQ(trimmed(-50, 0), (std::vector<GLuint>{0, 1, 2})); // on xMin
    EXPECT_EQ(trimmed(0, -50), (std::vector<GLuint>{0, 1, 2})); // on yMin
    EXPECT_TRUE(trimmed(50, 0).empty());                        // on xMax
    EXPECT_TRUE(trimmed(0, 50).empty());                        // on yMax
    EXPECT_TRUE(trimmed(-50.5, 0).empty());
    EXPECT_TRUE(trimmed(0, 0, 10000.5).empty());
    EXPECT_EQ(trimmed(0, 0, 10000.0), (std::vector<GLuint>{0, 1, 2}));
    EXPECT_TRUE(trimmed(0, 0, 0, osg::BoundingBoxd()).empty()); // invalid box keeps nothing
}

TEST(TrimTriangles, NeighboursShareNoTriangle)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    osg::ref_ptr<osg::DrawElementsUInt> list = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (double cx : {-51.0, -50.0, 0.0, 49.0, 50.0, 51.0})
        addTriangle(*points, *list, cx, 0.0);
    // The right neighbour's points are relative to its own centre, 100 further east.
    osg::ref_ptr<osg::Vec3dArray> shifted = new osg::Vec3dArray;
    for (const osg::Vec3d& p : *points)
        shifted->push_back(p - osg::Vec3d(100, 0, 0));
    const osg::BoundingBoxd right(100, 0, -10000, 200, 100, 10000);
    osg::ref_ptr<osg::DrawElementsUInt> here = trimTriangles(points.get(), list.get(), tileBox);
    osg::ref_ptr<osg::DrawElementsUInt> there = trimTriangles(shifted.get(), list.get(), right);
    // Centroids at x = 0, 50, 99 (here), 100, 101 (right neighbour); -1 belongs to neither.
    EXPECT_EQ(std::vector<GLuint>(here->begin(), here->end()), (std::vector<GLuint>{3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(std::vector<GLuint>(there->begin(), there->end()), (std::vector<GLuint>{12, 13, 14, 15, 16, 17}));
}

TEST(TrimTriangles, RefusesOtherModesAndEmptyInput)
{
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    osg::ref_ptr<osg::DrawElementsUInt> lines = new osg::DrawElementsUInt(GL_LINES);
    osg::ref_ptr<osg::DrawElementsUInt> none = new osg::DrawElementsUInt(GL_TRIANGLES);
    addTriangle(*points, *lines, 0, 0);
    EXPECT_EQ(trimTriangles(points.get(), lines.get(), tileBox), nullptr);
    EXPECT_EQ(trimTriangles(points.get(), none.get(), tileBox), nullptr);
    EXPECT_EQ(capture.texts(), (std::vector<std::string>{"Unsupported mode", "No points/primitives!"}));
}

TEST(CreateTin, TooFewPoints)
{
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    points->push_back(osg::Vec3d(0, 0, 0));
    points->push_back(osg::Vec3d(1, 0, 0));
    EXPECT_FALSE(createTin(points.get(), tileBox).valid());
    EXPECT_EQ(capture.texts(), std::vector<std::string>{"Too few poins to create TIN: 2"});
}

// Transform to the centre; every triangulated point stays a vertex, margin points
// included, each with a normal; trimming drops exactly the triangles outside the box.
TEST(CreateTin, StructureTrimmingAndNormals)
{
    osg::ref_ptr<osg::Vec3dArray> points = terrain(1);
    osg::ref_ptr<osg::MatrixTransform> untrimmed = createTin(points.get(), tileBox, TinSettings{true});
    ASSERT_TRUE(untrimmed.valid());
    const std::size_t sorted = points->size();
    osg::ref_ptr<osg::Vec3dArray> again = terrain(1);
    osg::ref_ptr<osg::MatrixTransform> node = createTin(again.get(), tileBox);
    ASSERT_TRUE(node.valid());

    EXPECT_EQ(node->getMatrix().getTrans(), osg::Vec3d(50, 50, 0));
    ASSERT_EQ(node->getNumChildren(), 1u);
    osg::Geometry* geometry = geometryOf(node.get());
    ASSERT_NE(geometry, nullptr);
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray());
    ASSERT_NE(vertices, nullptr);
    ASSERT_EQ(vertices->size(), sorted);
    for (std::size_t i = 0; i < sorted; ++i)
        ASSERT_EQ((*vertices)[i], osg::Vec3((*again)[i]));
    ASSERT_NE(geometry->getNormalArray(), nullptr);
    EXPECT_EQ(geometry->getNormalArray()->getNumElements(), vertices->size());
    EXPECT_EQ(geometry->getNormalBinding(), osg::Geometry::BIND_PER_VERTEX);

    ASSERT_EQ(geometry->getNumPrimitiveSets(), 1u);
    const auto* kept = dynamic_cast<const osg::DrawElementsUInt*>(geometry->getPrimitiveSet(0));
    const auto* all = dynamic_cast<const osg::DrawElementsUInt*>(geometryOf(untrimmed.get())->getPrimitiveSet(0));
    ASSERT_TRUE(kept && all);
    EXPECT_EQ(kept->getMode(), GLenum(GL_TRIANGLES));
    EXPECT_LT(kept->size(), all->size());
    std::size_t inside = 0;
    bool marginOnly = false;
    std::vector<bool> used(vertices->size(), false);
    for (std::size_t i = 0; i < all->size(); i += 3)
    {
        osg::Vec3d c;
        for (int k = 0; k < 3; ++k)
            c += osg::Vec3d((*vertices)[(*all)[i + k]]);
        c = c / 3.0 + osg::Vec3d(50, 50, 0);
        inside += c.x() >= 0 && c.x() < 100 && c.y() >= 0 && c.y() < 100;
    }
    for (GLuint index : *kept)
    {
        ASSERT_LT(index, vertices->size());
        used[index] = true;
    }
    for (bool u : used)
        marginOnly |= !u;
    EXPECT_EQ(kept->size(), 3 * inside);
    EXPECT_TRUE(marginOnly) << "some margin points should be used only by dropped triangles";

    // Inside the tile the normals of a gently rolling surface point up (slivers along
    // the hull of the margin may be steep).
    const osg::Vec3Array* normals = dynamic_cast<const osg::Vec3Array*>(geometry->getNormalArray());
    ASSERT_NE(normals, nullptr);
    for (std::size_t i = 0; i < normals->size(); ++i)
    {
        if (used[i])
        {
            EXPECT_GT((*normals)[i].z(), 0.8f) << i;
        }
    }
}

// "--simplify 0" still simplifies: coplanar points collapse at no error.
TEST(CreateTin, SimplifiesOnlyWhenAsked)
{
    auto flat = [] {
        osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
        for (int y = -55; y <= 55; y += 5)
            for (int x = -55; x <= 55; x += 5)
                points->push_back(osg::Vec3d(x, y, 3.0));
        return points;
    };
    auto triangles = [](osg::MatrixTransform* node) {
        return geometryOf(node)->getPrimitiveSet(0)->getNumIndices() / 3;
    };
    auto plain = createTin(flat().get(), tileBox, TinSettings{true});
    auto zero = createTin(flat().get(), tileBox, TinSettings{true, 0.0});
    auto trimmedZero = createTin(flat().get(), tileBox, TinSettings{false, 0.0});
    ASSERT_TRUE(plain.valid() && zero.valid() && trimmedZero.valid());
    EXPECT_LT(triangles(zero.get()), triangles(plain.get()));
    EXPECT_LE(triangles(trimmedZero.get()), triangles(zero.get()));

    // Whatever the simplifier did, every index refers to a written vertex.
    osg::Geometry* geometry = geometryOf(trimmedZero.get());
    const unsigned count = geometry->getVertexArray()->getNumElements();
    const auto* list = dynamic_cast<const osg::DrawElementsUInt*>(geometry->getPrimitiveSet(0));
    ASSERT_NE(list, nullptr);
    for (GLuint index : *list)
        ASSERT_LT(index, count);
    EXPECT_EQ(geometry->getNormalArray()->getNumElements(), count);
}
