#include "tests/tin/triangulation/TriangulationInvariants.h"

#include "tin/triangulation/Predicates.h"
#include "tin/las/LasReader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <unordered_map>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace tintest
{

using osgTAVRI::predicates::incircle;
using osgTAVRI::predicates::orient2d;

namespace
{
double orient(const osg::Vec3dArray& p, uint32_t a, uint32_t b, uint32_t c)
{
    return orient2d(p[a].x(), p[a].y(), p[b].x(), p[b].y(), p[c].x(), p[c].y());
}

uint64_t key(uint32_t a, uint32_t b)
{
    return (static_cast<uint64_t>(a) << 32) | b;
}
} // namespace

std::vector<uint32_t> indicesOf(const osg::DrawElementsUInt* triangles)
{
    if (!triangles)
        return {};
    return std::vector<uint32_t>(triangles->begin(), triangles->end());
}

::testing::AssertionResult isValidTriangulation(const osg::Vec3dArray& points,
                                                const std::vector<uint32_t>& triangles)
{
    const size_t n = points.size();
    if (triangles.size() % 3 != 0)
        return ::testing::AssertionFailure() << "index count " << triangles.size();
    std::unordered_map<uint64_t, uint32_t> edges;
    std::vector<char> used(n, 0);
    double area = 0.0, magnitude = 0.0; // the sum and the size of its rounding
    for (size_t i = 0; i < triangles.size(); i += 3)
    {
        const uint32_t a = triangles[i], b = triangles[i + 1], c = triangles[i + 2];
        if (a >= n || b >= n || c >= n)
            return ::testing::AssertionFailure() << "triangle " << i / 3 << " index out of range";
        if (orient(points, a, b, c) <= 0.0)
            return ::testing::AssertionFailure()
                   << "triangle " << i / 3 << " (" << a << ", " << b << ", " << c
                   << ") is not counter-clockwise with positive area";
        used[a] = used[b] = used[c] = 1;
        const osg::Vec3d& pa = points[a];
        const double left = (points[b].x() - pa.x()) * (points[c].y() - pa.y());
        const double right = (points[b].y() - pa.y()) * (points[c].x() - pa.x());
        area += 0.5 * (left - right);
        magnitude += 0.5 * (std::fabs(left) + std::fabs(right));
        const uint32_t v[3] = {a, b, c};
        for (int k = 0; k < 3; ++k)
        {
            if (!edges.emplace(key(v[k], v[(k + 1) % 3]), v[(k + 2) % 3]).second)
                return ::testing::AssertionFailure()
                       << "edge " << v[k] << "->" << v[(k + 1) % 3] << " used twice (overlap)";
        }
    }
    if (triangles.empty())
        return ::testing::AssertionFailure() << "no triangles";
    for (size_t i = 0; i < n; ++i)
    {
        if (!used[i])
            return ::testing::AssertionFailure() << "point " << i << " is no vertex";
    }

    // Edges without twin: exactly one outgoing per boundary vertex, one convex loop.
    std::unordered_map<uint32_t, uint32_t> boundaryNext;
    for (const auto& edge : edges)
    {
        const uint32_t from = static_cast<uint32_t>(edge.first >> 32);
        const uint32_t to = static_cast<uint32_t>(edge.first & 0xffffffffu);
        if (edges.count(key(to, from)))
            continue;
        if (!boundaryNext.emplace(from, to).second)
            return ::testing::AssertionFailure() << "vertex " << from << " has two boundary edges";
    }
    if (boundaryNext.size() < 3)
        return ::testing::AssertionFailure() << "boundary of " << boundaryNext.size() << " edges";
    const uint32_t first = boundaryNext.begin()->first;
    uint32_t previous = first, current = boundaryNext[first];
    size_t length = 1;
    while (current != first)
    {
        auto it = boundaryNext.find(current);
        if (it == boundaryNext.end())
            return ::testing::AssertionFailure() << "boundary is not closed at " << current;
        if (orient(points, previous, current, it->second) < 0.0)
            return ::testing::AssertionFailure() << "boundary is not convex at " << current;
        previous = current;
        current = it->second;
        if (++length > boundaryNext.size())
            return ::testing::AssertionFailure() << "boundary loops";
    }
    if (length != boundaryNext.size())
        return ::testing::AssertionFailure()
               << "boundary has " << boundaryNext.size() << " edges but its loop " << length;
    if (triangles.size() / 3 != 2 * n - 2 - boundaryNext.size())
        return ::testing::AssertionFailure() << "triangle count " << triangles.size() / 3
                                             << " breaks Euler's formula";

    // Slivers cancel: the tolerance follows the size of the products summed.
    const double hull = convexHullArea(points);
    if (std::fabs(area - hull) > 1e-9 * hull + 1e-12 * magnitude)
        return ::testing::AssertionFailure() << "triangles cover " << area << ", the hull "
                                             << hull;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isDelaunay(const osg::Vec3dArray& points,
                                      const std::vector<uint32_t>& triangles)
{
    std::unordered_map<uint64_t, uint32_t> opposite;
    for (size_t i = 0; i < triangles.size(); i += 3)
    {
        for (int k = 0; k < 3; ++k)
            opposite[key(triangles[i + k], triangles[i + (k + 1) % 3])] = triangles[i + (k + 2) % 3];
    }
    for (const auto& edge : opposite)
    {
        const uint32_t a = static_cast<uint32_t>(edge.first >> 32);
        const uint32_t b = static_cast<uint32_t>(edge.first & 0xffffffffu);
        auto twin = opposite.find(key(b, a));
        if (twin == opposite.end())
            continue;
        const osg::Vec3d& pa = points[a];
        const osg::Vec3d& pb = points[b];
        const osg::Vec3d& pc = points[edge.second];
        const osg::Vec3d& pd = points[twin->second];
        if (incircle(pa.x(), pa.y(), pb.x(), pb.y(), pc.x(), pc.y(), pd.x(), pd.y()) > 0.0)
            return ::testing::AssertionFailure()
                   << "point " << twin->second << " lies inside the circumcircle of (" << a
                   << ", " << b << ", " << edge.second << ")";
    }
    return ::testing::AssertionSuccess();
}

double convexHullArea(const osg::Vec3dArray& input)
{
    std::vector<osg::Vec2d> p;
    for (const osg::Vec3d& v : input)
        p.emplace_back(v.x(), v.y());
    std::sort(p.begin(), p.end());
    if (p.size() < 3)
        return 0.0;
    auto cross = [](const osg::Vec2d& o, const osg::Vec2d& a, const osg::Vec2d& b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    std::vector<osg::Vec2d> hull(2 * p.size());
    size_t k = 0;
    for (size_t i = 0; i < p.size(); ++i)
    {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], p[i]) <= 0.0)
            --k;
        hull[k++] = p[i];
    }
    for (size_t i = p.size() - 1, t = k + 1; i-- > 0;)
    {
        while (k >= t && cross(hull[k - 2], hull[k - 1], p[i]) <= 0.0)
            --k;
        hull[k++] = p[i];
    }
    hull.resize(k - 1);
    double area = 0.0;
    for (size_t i = 0; i < hull.size(); ++i)
    {
        const osg::Vec2d& a = hull[i];
        const osg::Vec2d& b = hull[(i + 1) % hull.size()];
        area += (a.x() - hull[0].x()) * (b.y() - hull[0].y()) -
                (b.x() - hull[0].x()) * (a.y() - hull[0].y());
    }
    return 0.5 * area;
}

std::vector<std::vector<uint32_t>> canonicalTriangles(const std::vector<uint32_t>& triangles)
{
    std::vector<std::vector<uint32_t>> result;
    for (size_t i = 0; i + 2 < triangles.size(); i += 3)
    {
        std::vector<uint32_t> t{triangles[i], triangles[i + 1], triangles[i + 2]};
        std::sort(t.begin(), t.end());
        result.push_back(t);
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<std::vector<uint32_t>> cgalTriangles(const osg::Vec3dArray& points)
{
    typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
    typedef CGAL::Triangulation_vertex_base_with_info_2<uint32_t, K> Vb;
    typedef CGAL::Triangulation_data_structure_2<Vb> Tds;
    typedef CGAL::Delaunay_triangulation_2<K, Tds> Delaunay;
    std::vector<std::pair<K::Point_2, uint32_t>> input;
    for (uint32_t i = 0; i < points.size(); ++i)
        input.emplace_back(K::Point_2(points[i].x(), points[i].y()), i);
    Delaunay dt(input.begin(), input.end());
    std::vector<uint32_t> flat;
    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
    {
        for (int k = 0; k < 3; ++k)
            flat.push_back(f->vertex(k)->info());
    }
    return canonicalTriangles(flat);
}

osg::ref_ptr<osg::Vec3dArray> readLasPoints(const std::string& path)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    std::ifstream in(path, std::ios::binary);
    osgTAVRI::LasReader reader(in, path);
    while (reader.readNextPoint())
    {
        const osgTAVRI::LasPoint& p = reader.getPoint();
        points->push_back(osg::Vec3d(p.getX(), p.getY(), p.getZ()));
    }
    return points;
}

} // namespace tintest
