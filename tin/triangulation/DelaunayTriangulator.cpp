#include "tin/triangulation/DelaunayTriangulator.h"

#include "tin/triangulation/ConstraintForcer.h"
#include "tin/triangulation/DelaunayMesh.h"
#include "tin/triangulation/HugePages.h"
#include "tin/triangulation/RadixSort.h"

#include <osg/Notify>

#include <algorithm>
#include <cmath>
#include <memory>

namespace osgTAVRI
{

namespace
{

bool sameXY(const osg::Vec3d& l, const osg::Vec3d& r)
{
    return l.x() == r.x() && l.y() == r.y();
}

// A radix sort by x carries each point's index; the points are then gathered in that
// order, and the short runs of equal x sorted by y and z.
void sortByXYZ(osg::Vec3dArray& array)
{
    std::vector<KeyedIndex> keys;
    reserveHuge(keys, array.size());
    keys.resize(array.size());
    for (size_t i = 0; i < array.size(); ++i)
        keys[i] = KeyedIndex{orderedKey(array[i].x()), static_cast<uint32_t>(i)};
    radixSort(keys);
    std::vector<osg::Vec3d> sorted;
    reserveHuge(sorted, array.size());
    // A gather from all over the array: the point a few keys on is fetched while this one is
    // copied.
    const std::size_t ahead = 16;
    for (std::size_t k = 0; k < keys.size(); ++k)
    {
        if (k + ahead < keys.size())
            __builtin_prefetch(&array[keys[k + ahead].index]);
        sorted.push_back(array[keys[k].index]);
    }
    std::vector<KeyedIndex>().swap(keys);
    array.asVector().swap(sorted);
    std::vector<osg::Vec3d>().swap(sorted);

    for (auto run = array.begin(); run != array.end();)
    {
        auto end = run + 1;
        while (end != array.end() && end->x() == run->x())
            ++end;
        if (end - run > 1)
            std::sort(run, end, [](const osg::Vec3d& l, const osg::Vec3d& r) {
                return l.y() != r.y() ? l.y() < r.y() : l.z() < r.z();
            });
        run = end;
    }
}

void info(const char* text)
{
    OSG_INFO << text << std::endl;
}

// The convex hull by the monotone chain, clockwise, keeping collinear points:
// the upper hull from left to right, then the lower one back.
osg::ref_ptr<DelaunayConstraint> makeHull(const osg::Vec3dArray& points)
{
    std::vector<osg::Vec3d> hull{points[0], points[1]};
    auto add = [&hull](const osg::Vec3d& c) {
        while (hull.size() > 1)
        {
            const osg::Vec3d& a = hull[hull.size() - 2];
            const osg::Vec3d& b = hull.back();
            const double cross = (a.x() - b.x()) * (c.y() - b.y()) - (a.y() - b.y()) * (c.x() - b.x());
            if (cross >= 0.0)
                break;
            hull.pop_back();
        }
    };
    for (size_t i = 2; i < points.size(); ++i)
    {
        add(points[i]);
        hull.push_back(points[i]);
    }
    for (size_t i = points.size() - 1; i-- > 0;)
    {
        add(points[i]);
        if (points[i] != hull.front())
            hull.push_back(points[i]);
    }

    osg::ref_ptr<DelaunayConstraint> constraint = new DelaunayConstraint;
    constraint->setVertexArray(new osg::Vec3dArray(hull.begin(), hull.end()));
    constraint->addPrimitiveSet(new osg::DrawArrays(GL_LINE_LOOP, 0, static_cast<GLsizei>(hull.size())));
    return constraint;
}

} // namespace

DelaunayTriangulator::DelaunayTriangulator(osg::Vec3dArray* pointArray)
    : points(pointArray)
{
}

DelaunayTriangulator::~DelaunayTriangulator() = default;

void DelaunayTriangulator::addInputConstraint(DelaunayConstraint* constraint)
{
    if (constraint)
        constraints.push_back(constraint);
}

bool DelaunayTriangulator::triangulate()
{
    if (!points)
    {
        OSG_WARN << "Warning: DelaunayTriangulator::triangulate(): invalid sample point array" << std::endl;
        return false;
    }
    if (points->size() < 3)
    {
        OSG_WARN << "Warning: DelaunayTriangulator::triangulate(): too few sample points" << std::endl;
        return false;
    }
    if (points->size() > maxPoints())
    {
        OSG_WARN << "Warning: DelaunayTriangulator::triangulate(): " << points->size()
                 << " sample points are more than the " << maxPoints() << " it can index"
                 << std::endl;
        return false;
    }
    prim_tris = nullptr;

    // Non-finite coordinates would break the ordering that sorting relies on.
    osg::Vec3dArray& array = *points;
    const size_t before = array.size();
    array.erase(std::remove_if(array.begin(), array.end(),
                               [](const osg::Vec3d& p) {
                                   return !std::isfinite(p.x()) || !std::isfinite(p.y()) ||
                                          !std::isfinite(p.z());
                               }),
                array.end());
    if (array.size() != before)
        OSG_WARN << "DelaunayTriangulator: dropped " << before - array.size()
                 << " points with invalid coordinates" << std::endl;

    // Sorted by x, y, z, so of several points at one XY position the lowest z is first.
    sortByXYZ(array);
    array.erase(std::unique(array.begin(), array.end(), sameXY), array.end());
    info("DelaunayTriangulator: pre-sorting sample points");

    if (array.size() >= 2)
        constraints.push_back(makeHull(array));

    info("DelaunayTriangulator: finding minimum and maximum Y values");
    OSG_INFO << "DelaunayTriangulator: triangulating vertex grid ("
             << array.size() + 1 << " points)" << std::endl;

    // Found while the array is sorted: building puts it in insertion order.
    std::vector<uint32_t> segments = constraintSegments();
    DelaunayMesh mesh(array);
    const bool built = mesh.build();
    info("DelaunayTriangulator: finalizing and cleaning up structures");
    if (built)
        forceConstraints(mesh, segments);
    mesh.restoreOrder();

    info("DelaunayTriangulator: building primitive(s)");
    std::vector<uint32_t>& triangles = mesh.getTriangles();
    // Places of triangles removed by constraint forcing hold none.
    triangles.erase(std::remove_if(triangles.begin(), triangles.end(),
                                   [](uint32_t v) { return v == DelaunayMesh::none; }),
                    triangles.end());
    prim_tris = new osg::DrawElementsUInt(GL_TRIANGLES);
    prim_tris->asVector().swap(triangles);
    if (prim_tris->empty())
        OSG_WARN << "DelaunayTriangulator: prim_tris size is zero" << std::endl;
    OSG_INFO << "DelaunayTriangulator: process done, " << prim_tris->size() / 3
             << " triangles remain" << std::endl;
    return true;
}

std::vector<uint32_t> DelaunayTriangulator::constraintSegments() const
{
    const osg::Vec3dArray& array = *points;
    // A constraint point's index is the first array position with its x and y.
    auto indexOf = [&array](const osg::Vec3d& p) {
        auto it = std::lower_bound(array.begin(), array.end(), p,
                                   [](const osg::Vec3d& l, const osg::Vec3d& r) {
                                       return l.x() < r.x() || (l.x() == r.x() && l.y() < r.y());
                                   });
        if (it == array.end() || !sameXY(*it, p))
            return DelaunayMesh::none;
        return static_cast<uint32_t>(it - array.begin());
    };

    std::vector<uint32_t> segments;
    for (const osg::ref_ptr<DelaunayConstraint>& constraint : constraints)
    {
        const auto* vertices = dynamic_cast<const osg::Vec3dArray*>(constraint->getVertexArray());
        if (!vertices)
            continue;
        for (unsigned int s = 0; s < constraint->getNumPrimitiveSets(); ++s)
        {
            const osg::PrimitiveSet* primitive = constraint->getPrimitiveSet(s);
            const GLenum mode = primitive->getMode();
            const unsigned int count = primitive->getNumIndices();
            if ((mode != GL_LINE_LOOP && mode != GL_LINE_STRIP) || count == 0)
                continue;
            auto pointIndex = [&](unsigned int i) {
                const unsigned int v = primitive->index(i);
                return v < vertices->size() ? indexOf((*vertices)[v]) : DelaunayMesh::none;
            };
            uint32_t ip1 = pointIndex(count - 1);
            for (unsigned int i = 0; i < count; ++i)
            {
                const uint32_t ip2 = pointIndex(i);
                if (i > 0 || mode == GL_LINE_LOOP)
                {
                    segments.push_back(ip1);
                    segments.push_back(ip2);
                }
                ip1 = ip2;
            }
        }
    }
    return segments;
}

void DelaunayTriangulator::forceConstraints(DelaunayMesh& mesh, std::vector<uint32_t>& segments)
{
    if (segments.empty())
        return;
    mesh.toRanks(segments);
    // Forcing an edge that is there changes nothing, and the forcer's index of the whole mesh
    // costs more than the hull's edges, which are nearly always all the constraints: it is
    // made for the first edge that may be missing.
    std::unique_ptr<ConstraintForcer> forcer;
    for (size_t i = 0; i + 1 < segments.size(); i += 2)
    {
        const uint32_t a = segments[i], b = segments[i + 1];
        if (a == DelaunayMesh::none || b == DelaunayMesh::none)
        {
            OSG_WARN << "DelaunayTriangulator: constraint point is no sample point, edge skipped"
                     << std::endl;
            continue;
        }
        if (!forcer && mesh.isHullEdge(a, b))
            continue;
        if (!forcer)
            forcer.reset(new ConstraintForcer(mesh));
        forcer->force(a, b);
    }
}

} // namespace osgTAVRI
