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
// triangle are handled as the visitor does. Vertices sorted by x, as a tile's are, with a
// shared position apart within a run of equal x, share it too.
TEST(SmoothNormals, SharedPositionsUnusedVerticesAndDegenerates)
{
    {
        osg::ref_ptr<osg::Vec3Array> v = new osg::Vec3Array;
        for (const osg::Vec3& p : {osg::Vec3(0, 0, 0), osg::Vec3(0, 1, 0), osg::Vec3(1, 0, 0), osg::Vec3(1, 1, 1),
                                   osg::Vec3(1, 0, 0), osg::Vec3(2, 0, 0), osg::Vec3(2, 1, 3)})
            v->push_back(p);
        osg::ref_ptr<osg::DrawElementsUInt> t = new osg::DrawElementsUInt(GL_TRIANGLES);
        for (GLuint i : {0u, 2u, 1u, 4u, 3u, 1u, 4u, 5u, 6u, 4u, 6u, 3u})
            t->push_back(i);
        expectSameAsVisitor(v.get(), t.get());
        osg::ref_ptr<osg::Geometry> g = new osg::Geometry;
        g->setVertexArray(v.get());
        g->addPrimitiveSet(t.get());
        osgTAVRI::smoothNormals(*g);
        const auto& n = *dynamic_cast<const osg::Vec3Array*>(g->getNormalArray());
        EXPECT_EQ(n[2], n[4]);
        EXPECT_NE(n[2], n[3]);
    }

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
