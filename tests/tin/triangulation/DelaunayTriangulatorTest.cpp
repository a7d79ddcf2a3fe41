#include "tests/tin/TinTestSupport.h"
#include "tests/tin/triangulation/TriangulationInvariants.h"

#include "tests/support/TestSupport.h"
#include "tin/triangulation/ConstraintForcer.h"
#include "tin/triangulation/DelaunayMesh.h"
#include "tin/triangulation/DelaunayTriangulator.h"
#include "tin/triangulation/PolygonFiller.h"
#include "tin/las/LasError.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

using osgTAVRI::DelaunayConstraint;
using osgTAVRI::DelaunayTriangulator;
using tintest::indicesOf;
using tintest::isDelaunay;
using tintest::isValidTriangulation;

namespace
{

osg::ref_ptr<osg::Vec3dArray> uniformPoints(size_t n, unsigned seed, double size = 1000.0)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, size);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (size_t i = 0; i < n; ++i)
        points->push_back(osg::Vec3d(u(rng), u(rng), u(rng) * 0.01));
    return points;
}

// Airborne scan lines: points 0.35 m apart along slightly tilted lines 0.7 m apart,
// coordinates quantised to the centimetre like LAS records, so many points line up
// and many quadruples are nearly cocircular.
osg::ref_ptr<osg::Vec3dArray> scanLinePoints(size_t lines, size_t perLine, unsigned seed,
                                             double offsetX = 0.0, double offsetY = 0.0)
{
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> jitter(-0.04, 0.04);
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (size_t k = 0; k < lines; ++k)
    {
        for (size_t j = 0; j < perLine; ++j)
        {
            const double x = j * 0.35 + jitter(rng);
            const double y = k * 0.7 + 0.01 * x + jitter(rng) * 0.25;
            points->push_back(osg::Vec3d(offsetX + std::round(x * 100.0) / 100.0,
                                         offsetY + std::round(y * 100.0) / 100.0,
                                         100.0 + jitter(rng)));
        }
    }
    return points;
}

osg::ref_ptr<osg::Vec3dArray> gridPoints(int width, int height, double step = 1.0,
                                         double offsetX = 0.0, double offsetY = 0.0)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            points->push_back(osg::Vec3d(offsetX + i * step, offsetY + j * step, 0.1 * ((i * 7 + j * 3) % 5)));
    return points;
}

// Triangulates and checks the invariants (and CGAL's triangle count, or its
// triangle set when `sameSetAsCgal`); returns the triangles.
std::vector<uint32_t> triangulateChecked(osg::Vec3dArray* points, bool sameSetAsCgal)
{
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points);
    EXPECT_TRUE(triangulator->triangulate());
    const std::vector<uint32_t> triangles = indicesOf(triangulator->getTriangles());
    const auto reference = tintest::cgalTriangles(*points);
    if (reference.empty()) // all points on one line
    {
        EXPECT_TRUE(triangles.empty());
        return triangles;
    }
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    EXPECT_TRUE(isDelaunay(*points, triangles));
    EXPECT_EQ(reference.size(), triangles.size() / 3);
    if (sameSetAsCgal)
    {
        EXPECT_TRUE(reference == tintest::canonicalTriangles(triangles))
            << "triangle set differs from CGAL's";
    }
    return triangles;
}

// What the array must hold after triangulation: sorted by x, y, z, one point per XY.
std::vector<osg::Vec3d> sortedUnique(const osg::Vec3dArray& points)
{
    std::vector<osg::Vec3d> expected(points.begin(), points.end());
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end(),
                               [](const osg::Vec3d& l, const osg::Vec3d& r) {
                                   return l.x() == r.x() && l.y() == r.y();
                               }),
                   expected.end());
    return expected;
}

bool hasEdge(const std::vector<uint32_t>& triangles, uint32_t a, uint32_t b)
{
    for (size_t i = 0; i < triangles.size(); i += 3)
        for (int k = 0; k < 3; ++k)
        {
            const uint32_t u = triangles[i + k], v = triangles[i + (k + 1) % 3];
            if ((u == a && v == b) || (u == b && v == a))
                return true;
        }
    return false;
}

uint32_t indexOfXY(const osg::Vec3dArray& points, double x, double y)
{
    for (uint32_t i = 0; i < points.size(); ++i)
        if (points[i].x() == x && points[i].y() == y)
            return i;
    return osgTAVRI::DelaunayMesh::none;
}

} // namespace

TEST(DelaunayTriangulator, ThreePointsGiveOneCounterClockwiseTriangle)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    points->push_back(osg::Vec3d(0, 0, 0));
    points->push_back(osg::Vec3d(1, 0, 0));
    points->push_back(osg::Vec3d(0, 1, 0));
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    ASSERT_EQ(3u, triangulator->getTriangles()->size());
    EXPECT_EQ(GLenum(GL_TRIANGLES), triangulator->getTriangles()->getMode());
    EXPECT_TRUE(isValidTriangulation(*points, indicesOf(triangulator->getTriangles())));
}

TEST(DelaunayTriangulator, RepeatedPositionsKeepTheLowestZ)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (double z : {5.0, 3.0, 9.0, 3.0})
        points->push_back(osg::Vec3d(2, 2, z));
    osg::ref_ptr<DelaunayTriangulator> alone = new DelaunayTriangulator(points.get());
    {
        tavritest::NotifyCapture capture(osg::NOTICE);
        EXPECT_TRUE(alone->triangulate());
        EXPECT_EQ(1u, capture.linesWith("prim_tris size is zero").size());
    }
    ASSERT_EQ(1u, points->size());
    EXPECT_EQ(osg::Vec3d(2, 2, 3), (*points)[0]);
    EXPECT_EQ(0u, alone->getTriangles()->size());

    points->clear();
    for (double z : {5.0, 3.0, 9.0, 3.0})
        points->push_back(osg::Vec3d(2, 2, z));
    points->push_back(osg::Vec3d(0, 0, 1));
    points->push_back(osg::Vec3d(4, 0, 1));
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    ASSERT_EQ(3u, points->size());
    EXPECT_EQ(osg::Vec3d(2, 2, 3), (*points)[1]);
    EXPECT_EQ(3u, triangulator->getTriangles()->size());
}

TEST(DelaunayTriangulator, MissingOrTooFewPointsFailWithAWarning)
{
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<DelaunayTriangulator> none = new DelaunayTriangulator(nullptr);
    EXPECT_FALSE(none->triangulate());
    EXPECT_EQ(1u, capture.linesWith("Warning: DelaunayTriangulator::triangulate(): invalid sample point array").size());

    osg::ref_ptr<osg::Vec3dArray> two = new osg::Vec3dArray;
    two->push_back(osg::Vec3d(0, 0, 0));
    two->push_back(osg::Vec3d(1, 1, 0));
    osg::ref_ptr<DelaunayTriangulator> few = new DelaunayTriangulator(two.get());
    EXPECT_FALSE(few->triangulate());
    EXPECT_EQ(nullptr, few->getTriangles());
    EXPECT_EQ(1u, capture.linesWith("Warning: DelaunayTriangulator::triangulate(): too few sample points").size());
}

TEST(DelaunayTriangulator, CollinearPointsSucceedWithoutTriangles)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (int i = 0; i < 5; ++i)
        points->push_back(osg::Vec3d(3.0 * i, 1.5 * i + 2.0, i));
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    ASSERT_NE(nullptr, triangulator->getTriangles());
    EXPECT_EQ(0u, triangulator->getTriangles()->size());
    EXPECT_EQ(GLenum(GL_TRIANGLES), triangulator->getTriangles()->getMode());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: prim_tris size is zero").size());
}

TEST(DelaunayTriangulator, CocircularPointsGiveAValidTriangulation)
{
    // Twelve integer points on the circle of radius 5 around the origin, plus the
    // centre and the corners of a unit square: every tie of the circle test.
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    const int circle[12][2] = {{5, 0}, {4, 3}, {3, 4}, {0, 5}, {-3, 4}, {-4, 3},
                               {-5, 0}, {-4, -3}, {-3, -4}, {0, -5}, {3, -4}, {4, -3}};
    for (const auto& c : circle)
        points->push_back(osg::Vec3d(c[0], c[1], 0));
    osg::ref_ptr<osg::Vec3dArray> ring = new osg::Vec3dArray(*points);
    const auto ringTriangles = triangulateChecked(ring.get(), false);
    EXPECT_EQ(10u, ringTriangles.size() / 3);

    points->push_back(osg::Vec3d(0, 0, 1));
    const auto withCentre = triangulateChecked(points.get(), false);
    EXPECT_EQ(12u, withCentre.size() / 3);

    osg::ref_ptr<osg::Vec3dArray> square = gridPoints(2, 2);
    EXPECT_EQ(2u, triangulateChecked(square.get(), false).size() / 3);
}

TEST(DelaunayTriangulator, ResultIsSortedAndIndexesTheArray)
{
    osg::ref_ptr<osg::Vec3dArray> points = uniformPoints(2000, 7, 50.0);
    // Repeats with other heights, which de-duplication removes.
    for (size_t i = 0; i < 300; ++i)
        points->push_back((*points)[i * 3] + osg::Vec3d(0, 0, (i % 2) ? 1.0 : -1.0));
    // Columns of equal x on both sides of zero, their y in no order.
    for (int i = 0; i < 400; ++i)
        points->push_back(osg::Vec3d(std::floor(i / 40) - 5.0, 40.0 * std::sin(i * 1.7), i % 3));
    const std::vector<osg::Vec3d> expected = sortedUnique(*points);

    const auto triangles = triangulateChecked(points.get(), true);
    ASSERT_EQ(expected.size(), points->size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), points->begin()));
    for (uint32_t index : triangles)
        ASSERT_LT(index, points->size());
}

TEST(DelaunayTriangulator, WritesItsProgressLines)
{
    osg::ref_ptr<osg::Vec3dArray> points = gridPoints(10, 10);
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::setNotifyLevel(osg::INFO);
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: pre-sorting sample points").size());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: triangulating vertex grid (101 points)").size());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: building primitive(s)").size());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: process done, 162 triangles remain").size());
    EXPECT_TRUE(capture.linesWith("prim_tris size is zero").empty());
}

TEST(DelaunayTriangulator, HullIsAClockwiseLoopThatKeepsCollinearPoints)
{
    osg::ref_ptr<osg::Vec3dArray> points = gridPoints(4, 3);
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    ASSERT_EQ(1u, triangulator->getConstraintList().size());
    const DelaunayConstraint* hull = triangulator->getConstraintList()[0].get();
    const auto* vertices = dynamic_cast<const osg::Vec3dArray*>(hull->getVertexArray());
    ASSERT_NE(nullptr, vertices);
    ASSERT_EQ(1u, hull->getNumPrimitiveSets());
    EXPECT_EQ(GLenum(GL_LINE_LOOP), hull->getPrimitiveSet(0)->getMode());
    EXPECT_EQ(vertices->size(), hull->getPrimitiveSet(0)->getNumIndices());
    // All ten boundary points of the 4 x 3 grid, the first one first, clockwise.
    ASSERT_EQ(10u, vertices->size());
    EXPECT_EQ((*points)[0], (*vertices)[0]);
    double area = 0.0;
    for (size_t i = 0; i < vertices->size(); ++i)
    {
        const osg::Vec3d& a = (*vertices)[i];
        const osg::Vec3d& b = (*vertices)[(i + 1) % vertices->size()];
        area += a.x() * b.y() - b.x() * a.y();
    }
    EXPECT_DOUBLE_EQ(-12.0, area); // twice the area, negative: clockwise
    const auto triangles = indicesOf(triangulator->getTriangles());
    for (size_t i = 0; i < vertices->size(); ++i)
    {
        const osg::Vec3d& a = (*vertices)[i];
        const osg::Vec3d& b = (*vertices)[(i + 1) % vertices->size()];
        EXPECT_TRUE(hasEdge(triangles, indexOfXY(*points, a.x(), a.y()), indexOfXY(*points, b.x(), b.y())));
    }
}

TEST(DelaunayTriangulator, ProjectedCoordinatesStayInDoublePrecision)
{
    // Millimetre spacing at 6.5 million metres: single precision would merge points.
    osg::ref_ptr<osg::Vec3dArray> grid = gridPoints(40, 40, 0.001, 6500000.0, 7300000.0);
    const auto triangles = triangulateChecked(grid.get(), false);
    EXPECT_EQ(2u * 39 * 39, triangles.size() / 3);
    osg::ref_ptr<osg::Vec3dArray> lidar = scanLinePoints(30, 60, 3, 636000.0, 848000.0);
    const std::vector<osg::Vec3d> expected = sortedUnique(*lidar);
    triangulateChecked(lidar.get(), false);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), lidar->begin(), lidar->end()));
}

TEST(DelaunayTriangulatorInvariants, UniformRandomPointsMatchCgal)
{
    for (size_t n : {3u, 10u, 100u, 5000u, 50000u})
    {
        for (unsigned seed : {1u, 2u})
        {
            SCOPED_TRACE(testing::Message() << n << " points, seed " << seed);
            osg::ref_ptr<osg::Vec3dArray> points = uniformPoints(n, seed);
            triangulateChecked(points.get(), true);
        }
    }
}

TEST(DelaunayTriangulatorInvariants, LidarScanLines)
{
    osg::ref_ptr<osg::Vec3dArray> small = scanLinePoints(60, 150, 11);
    triangulateChecked(small.get(), false);
    osg::ref_ptr<osg::Vec3dArray> large = scanLinePoints(200, 400, 12, 194000.0, 259000.0);
    triangulateChecked(large.get(), false);
}

TEST(DelaunayTriangulatorInvariants, ExactGrids)
{
    for (int size : {3, 17, 150})
    {
        SCOPED_TRACE(testing::Message() << size << " x " << size << " grid");
        osg::ref_ptr<osg::Vec3dArray> points = gridPoints(size, size + 3, 0.5, -40.0, 12.0);
        const auto triangles = triangulateChecked(points.get(), false);
        EXPECT_EQ(2u * (size - 1) * (size + 2), triangles.size() / 3);
    }
    // A rotated grid: the coordinates are inexact, the ties nearly exact.
    osg::ref_ptr<osg::Vec3dArray> rotated = new osg::Vec3dArray;
    const double c = std::cos(0.3), s = std::sin(0.3);
    for (int j = 0; j < 60; ++j)
        for (int i = 0; i < 60; ++i)
            rotated->push_back(osg::Vec3d(c * i - s * j, s * i + c * j, 0));
    triangulateChecked(rotated.get(), false);
}

TEST(DelaunayTriangulatorInvariants, PointsOnCirclesAndLines)
{
    // Rounded points of concentric circles (nearly cocircular), spokes of exactly
    // collinear points, and duplicates: the cases where a plain floating-point
    // circle test decides wrongly.
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    for (int ring = 1; ring <= 20; ++ring)
        for (int k = 0; k < 64; ++k)
        {
            const double angle = k * 2.0 * M_PI / 64.0;
            points->push_back(osg::Vec3d(1000.0 + ring * std::cos(angle), 2000.0 + ring * std::sin(angle), ring));
        }
    for (int k = 0; k < 200; ++k)
        points->push_back(osg::Vec3d(1000.0 + 0.1 * k, 2000.0 - 0.05 * k, 0));
    triangulateChecked(points.get(), false);
}

TEST(DelaunayTriangulatorInvariants, ThinAndClusteredInputs)
{
    std::mt19937_64 rng(31);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    // Nearly on one line: every triangle is a sliver, and the hull holds them all.
    osg::ref_ptr<osg::Vec3dArray> thin = new osg::Vec3dArray;
    for (int i = 0; i < 3000; ++i)
    {
        const double x = 1000.0 * u(rng);
        thin->push_back(osg::Vec3d(x, 0.5 * x + 1e-9 * u(rng), 0));
    }
    triangulateChecked(thin.get(), false);

    // A few tight clusters far apart, with repeated positions, at large magnitude.
    osg::ref_ptr<osg::Vec3dArray> clusters = new osg::Vec3dArray;
    for (int c = 0; c < 5; ++c)
        for (int i = 0; i < 500; ++i)
        {
            const double x = 1e7 + c * 5000.0 + 1e-3 * std::floor(100.0 * u(rng));
            const double y = 2e6 - c * 300.0 + 1e-3 * std::floor(100.0 * u(rng));
            clusters->push_back(osg::Vec3d(x, y, u(rng)));
        }
    triangulateChecked(clusters.get(), false);

    // One point off a long line of collinear points.
    osg::ref_ptr<osg::Vec3dArray> fan = new osg::Vec3dArray;
    for (int i = 0; i < 500; ++i)
        fan->push_back(osg::Vec3d(i * 0.25, 3.0, 0));
    fan->push_back(osg::Vec3d(60.0, 3.0 + 1e-6, 0));
    const auto triangles = triangulateChecked(fan.get(), false);
    EXPECT_EQ(499u, triangles.size() / 3);
}

TEST(DelaunayTriangulatorInvariants, RealLasFiles)
{
    TAVRI_REQUIRE_SHARED_DATA();
    int checked = 0;
    for (const std::string& name : tavritest::listDir(tavritest::sharedData() + "/las"))
    {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".las")
            continue;
        osg::ref_ptr<osg::Vec3dArray> points;
        try
        {
            points = tintest::readLasPoints(tavritest::sharedData() + "/las/" + name);
        }
        catch (const osgTAVRI::LasError&)
        {
            continue; // the damaged files belong to the reader's tests
        }
        if (points->size() < 3)
            continue;
        SCOPED_TRACE(name);
        triangulateChecked(points.get(), false);
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

TEST(DelaunayMesh, PointsInsertedInsideTheHullInAnyOrder)
{
    // Random insertion orders put points inside the hull and on its edges, the
    // path that the distance order only reaches through rounding.
    for (unsigned seed : {1u, 2u, 3u})
    {
        for (osg::ref_ptr<osg::Vec3dArray> points : {gridPoints(30, 30), uniformPoints(3000, seed)})
        {
            std::vector<uint32_t> order(points->size());
            for (uint32_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::shuffle(order.begin(), order.end(), std::mt19937(seed));
            const std::vector<osg::Vec3d> before(points->begin(), points->end());
            osgTAVRI::DelaunayMesh mesh(*points);
            ASSERT_TRUE(mesh.build(&order));
            // The hull's edges are exactly the half-edges without a twin.
            const std::vector<uint32_t>& triangles = mesh.getTriangles();
            const std::vector<uint32_t>& halfedges = mesh.getHalfedges();
            for (uint32_t h = 0; h < triangles.size(); ++h)
                ASSERT_EQ(halfedges[h] == osgTAVRI::DelaunayMesh::none,
                          mesh.isHullEdge(triangles[osgTAVRI::DelaunayMesh::next(h)], triangles[h]));
            mesh.restoreOrder();
            EXPECT_TRUE(std::equal(before.begin(), before.end(), points->begin(), points->end()));
            EXPECT_TRUE(isValidTriangulation(*points, mesh.getTriangles()));
            EXPECT_TRUE(isDelaunay(*points, mesh.getTriangles()));
        }
    }
}

TEST(DelaunayTriangulator, ConstraintsBecomeEdges)
{
    osg::ref_ptr<osg::Vec3dArray> points = uniformPoints(4000, 5, 100.0);
    points->push_back(osg::Vec3d(1.0, 1.0, 0));
    points->push_back(osg::Vec3d(99.0, 97.0, 0));
    points->push_back(osg::Vec3d(3.0, 95.0, 0));
    osg::ref_ptr<DelaunayConstraint> constraint = new DelaunayConstraint;
    osg::ref_ptr<osg::Vec3dArray> line = new osg::Vec3dArray;
    line->push_back(osg::Vec3d(1.0, 1.0, 0));
    line->push_back(osg::Vec3d(99.0, 97.0, 0));
    line->push_back(osg::Vec3d(3.0, 95.0, 0));
    constraint->setVertexArray(line.get());
    constraint->addPrimitiveSet(new osg::DrawArrays(GL_LINE_STRIP, 0, 3));

    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    triangulator->addInputConstraint(constraint.get());
    ASSERT_TRUE(triangulator->triangulate());
    EXPECT_EQ(2u, triangulator->getConstraintList().size());
    const auto triangles = indicesOf(triangulator->getTriangles());
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    const uint32_t a = indexOfXY(*points, 1, 1), b = indexOfXY(*points, 99, 97),
                   c = indexOfXY(*points, 3, 95);
    EXPECT_TRUE(hasEdge(triangles, a, b));
    EXPECT_TRUE(hasEdge(triangles, b, c));
    EXPECT_FALSE(isDelaunay(*points, triangles)); // the long edges are not Delaunay
}

TEST(DelaunayTriangulator, LongConstraintIsForcedWholeWithAWarning)
{
    // A diagonal across 250000 points crosses more than 999 triangles; all of them
    // are replaced, and the count is reported from 900 on.
    osg::ref_ptr<osg::Vec3dArray> points = uniformPoints(250000, 8, 100.0);
    points->push_back(osg::Vec3d(0.0, 0.0, 0));
    points->push_back(osg::Vec3d(100.0, 100.0, 0));
    osg::ref_ptr<DelaunayConstraint> constraint = new DelaunayConstraint;
    osg::ref_ptr<osg::Vec3dArray> line = new osg::Vec3dArray;
    line->push_back(osg::Vec3d(0.0, 0.0, 0));
    line->push_back(osg::Vec3d(100.0, 100.0, 0));
    constraint->setVertexArray(line.get());
    constraint->addPrimitiveSet(new osg::DrawArrays(GL_LINE_STRIP, 0, 2));
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    triangulator->addInputConstraint(constraint.get());
    ASSERT_TRUE(triangulator->triangulate());
    const auto warnings = capture.linesWith(" adjacent tris ");
    ASSERT_EQ(1u, warnings.size());
    const int crossed = std::atoi(warnings[0].substr(warnings[0].find(" found ") + 7).c_str());
    EXPECT_GT(crossed, 999);
    const auto triangles = indicesOf(triangulator->getTriangles());
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    EXPECT_TRUE(hasEdge(triangles, 0, static_cast<uint32_t>(points->size() - 1)));
}

TEST(DelaunayTriangulator, ConstraintThroughVerticesIsSplitAtThem)
{
    osg::ref_ptr<osg::Vec3dArray> points = gridPoints(21, 11);
    osg::ref_ptr<DelaunayConstraint> constraint = new DelaunayConstraint;
    osg::ref_ptr<osg::Vec3dArray> line = new osg::Vec3dArray;
    line->push_back(osg::Vec3d(0, 0, 0));
    line->push_back(osg::Vec3d(20, 10, 0));
    constraint->setVertexArray(line.get());
    constraint->addPrimitiveSet(new osg::DrawArrays(GL_LINE_LOOP, 0, 2));
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    triangulator->addInputConstraint(constraint.get());
    ASSERT_TRUE(triangulator->triangulate());
    const auto triangles = indicesOf(triangulator->getTriangles());
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    for (int k = 0; k < 10; ++k)
        EXPECT_TRUE(hasEdge(triangles, indexOfXY(*points, 2 * k, k), indexOfXY(*points, 2 * k + 2, k + 1)))
            << "segment " << k;
}

TEST(ConstraintForcer, CrossedTrianglesAreReplacedByTessellatedPolygons)
{
    // Scan-line data at projected coordinates: a segment across it crosses hundreds
    // of triangles, and both side polygons hold runs of nearly collinear points.
    osg::ref_ptr<osg::Vec3dArray> points = scanLinePoints(40, 120, 9, 636000.0, 848000.0);
    std::sort(points->begin(), points->end());
    const std::vector<osg::Vec3d> sorted(points->begin(), points->end());
    osgTAVRI::DelaunayMesh mesh(*points);
    ASSERT_TRUE(mesh.build());
    // The mesh numbers its vertices by insertion rank, and the array follows, until restoreOrder().
    std::vector<uint32_t> ends{0, static_cast<uint32_t>(points->size() - 1), static_cast<uint32_t>(points->size() / 3),
                               static_cast<uint32_t>(2 * points->size() / 3)};
    mesh.toRanks(ends);
    const uint32_t a = ends[0], b = ends[1];
    osgTAVRI::ConstraintForcer forcer(mesh);
    forcer.force(a, b);
    forcer.force(b, a); // present now: nothing more to do
    const uint32_t crossed = forcer.getNumCrossed();
    EXPECT_GT(crossed, 100u);
    // GLU leaves out corners on straight runs of a polygon; such polygons are cut
    // into ears instead. Either way each side polygon is filled once.
    EXPECT_GT(forcer.getNumTessellated(), 0u);
    EXPECT_EQ(2u, forcer.getNumTessellated() + forcer.getNumEarsClipped());

    std::vector<uint32_t> triangles;
    for (uint32_t v : mesh.getTriangles())
        if (v != osgTAVRI::DelaunayMesh::none)
            triangles.push_back(v);
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    EXPECT_TRUE(hasEdge(triangles, a, b));

    // The half-edge links stay consistent: a second segment walks the new triangles.
    const uint32_t c = ends[2], d = ends[3];
    forcer.force(c, d);
    EXPECT_GT(forcer.getNumCrossed(), crossed);
    triangles.clear();
    for (uint32_t v : mesh.getTriangles())
        if (v != osgTAVRI::DelaunayMesh::none)
            triangles.push_back(v);
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    EXPECT_TRUE(hasEdge(triangles, c, d));
    const std::vector<uint32_t>& halfedges = mesh.getHalfedges();
    for (uint32_t h = 0; h < halfedges.size(); ++h)
    {
        if (halfedges[h] != osgTAVRI::DelaunayMesh::none)
        {
            ASSERT_EQ(h, halfedges[halfedges[h]]);
        }
    }

    // Back in their order, the points are those given and the triangles index them so.
    mesh.restoreOrder();
    EXPECT_TRUE(std::equal(sorted.begin(), sorted.end(), points->begin(), points->end()));
    triangles.clear();
    for (uint32_t v : mesh.getTriangles())
        if (v != osgTAVRI::DelaunayMesh::none)
            triangles.push_back(v);
    EXPECT_TRUE(isValidTriangulation(*points, triangles));
    EXPECT_TRUE(hasEdge(triangles, 0, static_cast<uint32_t>(points->size() - 1)));
    EXPECT_TRUE(hasEdge(triangles, static_cast<uint32_t>(points->size() / 3),
                        static_cast<uint32_t>(2 * points->size() / 3)));
}

TEST(DelaunayTriangulator, PointsWithInvalidCoordinatesAreDropped)
{
    osg::ref_ptr<osg::Vec3dArray> points = uniformPoints(200, 4, 10.0);
    points->push_back(osg::Vec3d(std::nan(""), 1.0, 1.0));
    points->push_back(osg::Vec3d(1.0, INFINITY, 1.0));
    points->push_back(osg::Vec3d(2.0, 2.0, std::nan("")));
    tavritest::NotifyCapture capture(osg::NOTICE);
    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points.get());
    ASSERT_TRUE(triangulator->triangulate());
    EXPECT_EQ(200u, points->size());
    EXPECT_EQ(1u, capture.linesWith("DelaunayTriangulator: dropped 3 points with invalid coordinates").size());
    EXPECT_TRUE(isValidTriangulation(*points, indicesOf(triangulator->getTriangles())));
}

TEST(PolygonFiller, GluFillsPolygonsInDoublePrecision)
{
    // A comb-shaped polygon with millimetre teeth at 6.5 million metres, counter-
    // clockwise: only double coordinates keep its corners apart.
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    const double x0 = 6500000.0, y0 = 7300000.0;
    std::vector<uint32_t> polygon;
    auto add = [&](double x, double y) {
        polygon.push_back(static_cast<uint32_t>(points->size()));
        points->push_back(osg::Vec3d(x0 + x, y0 + y, 0));
    };
    add(0, 0);
    add(0.010, 0);
    for (int k = 4; k >= 0; --k)
    {
        add(0.002 * k + 0.002, 0.003);
        add(0.002 * k + 0.001, 0.001);
    }
    add(0, 0.003);
    osgTAVRI::PolygonFiller filler(*points);
    std::vector<uint32_t> triangles;
    ASSERT_TRUE(filler.tessellate(polygon, triangles));
    EXPECT_TRUE(filler.isTriangulation(polygon, triangles));

    // Ear clipping, the fallback, on the same polygon and on one with straight corners.
    triangles.clear();
    ASSERT_TRUE(filler.clipEars(polygon, triangles));
    EXPECT_TRUE(filler.isTriangulation(polygon, triangles));
    std::vector<uint32_t> straight;
    auto addStraight = [&](double x, double y) {
        straight.push_back(static_cast<uint32_t>(points->size()));
        points->push_back(osg::Vec3d(x0 + x, y0 + y, 0));
    };
    for (int k = 0; k < 5; ++k)
        addStraight(k, 0);
    addStraight(4, 2);
    addStraight(2, 1);
    addStraight(0, 2);
    triangles.clear();
    ASSERT_NE(osgTAVRI::PolygonFiller::FAILED, filler.fill(straight, triangles));
    EXPECT_TRUE(filler.isTriangulation(straight, triangles));
    EXPECT_FALSE(filler.isTriangulation(straight, {}));
}
