#include "tin/triangulation/DelaunayTriangulator.h"
#include "tin/tiling/SmoothNormals.h"

#include <gtest/gtest.h>

#include <osg/Geode>
#include <osgUtil/SmoothingVisitor>

#include <cmath>
#include <random>

namespace
{
void expectSameAsVisitor(osg::Vec3Array* vertices, osg::DrawElementsUInt* triangles)
{
    osg::ref_ptr<osg::Geometry> theirs = new osg::Geometry, ours = new osg::Geometry;
    theirs->setVertexArray(vertices);
    theirs->addPrimitiveSet(triangles);
    ours->setVertexArray(vertices);
    ours->addPrimitiveSet(triangles);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(theirs.get());
    osgUtil::SmoothingVisitor visitor;
    geode->accept(visitor);
    osgTAVRI::smoothNormals(*ours);

    const auto* a = dynamic_cast<const osg::Vec3Array*>(theirs->getNormalArray());
    const auto* b = dynamic_cast<const osg::Vec3Array*>(ours->getNormalArray());
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->size(), b->size());
    EXPECT_EQ(ours->getNormalBinding(), theirs->getNormalBinding());
    for (std::size_t i = 0; i < a->size(); ++i)
        ASSERT_LT(((*a)[i] - (*b)[i]).length(), 1e-6f) << "vertex " << i;
}
} // namespace

// The normals equal the toolkit's smoothing visitor's on a triangulated terrain.
TEST(SmoothNormals, EqualTheSmoothingVisitorOnTerrain)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> u(-500.0, 500.0);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (int i = 0; i < 20000; ++i)
    {
        const double x = u(random), y = u(random);
        points->push_back(osg::Vec3d(x, y, 20 + 8 * std::sin(x / 90) * std::cos(y / 70) + u(random) / 200));
    }
    osg::ref_ptr<osgTAVRI::DelaunayTriangulator> triangulator = new osgTAVRI::DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (const osg::Vec3d& p : *points)
        vertices->push_back(osg::Vec3(p));
    expectSameAsVisitor(vertices.get(), triangulator->getTriangles());
}

// Vertices that share a position share a normal; unused vertices and a degenerate
// triangle are handled as the visitor does.
TEST(SmoothNormals, SharedPositionsUnusedVerticesAndDegenerates)
{
    osg::ref_ptr<osg::Vec3Array> v = new osg::Vec3Array;
    v->push_back(osg::Vec3(0, 0, 0));
    v->push_back(osg::Vec3(1, 0, 0));
    v->push_back(osg::Vec3(0, 1, 0));
    v->push_back(osg::Vec3(1, 0, 0)); // same place as vertex 1
    v->push_back(osg::Vec3(1, 1, 1));
    v->push_back(osg::Vec3(5, 5, 5)); // unused
    v->push_back(osg::Vec3(2, 0, 0));
    osg::ref_ptr<osg::DrawElementsUInt> t = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (GLuint i : {0u, 1u, 2u, 3u, 4u, 2u, 0u, 1u, 6u})
        t->push_back(i);
    expectSameAsVisitor(v.get(), t.get());
}
