#include "tin/triangulation/ConstraintForcer.h"

#include "tin/triangulation/PolygonFiller.h"

#include <osg/Notify>

#include <algorithm>
#include <unordered_map>

namespace osgTAVRI
{

namespace
{
const uint32_t none = DelaunayMesh::none;

uint64_t edgeKey(uint32_t a, uint32_t b)
{
    return (static_cast<uint64_t>(a) << 32) | b;
}
} // namespace

ConstraintForcer::ConstraintForcer(DelaunayMesh& triangulation)
    : mesh(triangulation)
{
    const std::vector<uint32_t>& triangles = mesh.getTriangles();
    vertexEdge.assign(mesh.getPoints().size(), none);
    for (uint32_t h = 0; h < triangles.size(); ++h)
    {
        if (triangles[h] != none)
            vertexEdge[triangles[h]] = h;
    }
}

// The half-edges leaving v, turning both ways from a known one until the hull.
void ConstraintForcer::outgoing(uint32_t v, std::vector<uint32_t>& edges) const
{
    edges.clear();
    const std::vector<uint32_t>& halfedges = mesh.getHalfedges();
    const uint32_t start = vertexEdge[v];
    if (start == none)
        return;
    uint32_t h = start;
    do
    {
        edges.push_back(h);
        const uint32_t twin = halfedges[DelaunayMesh::prev(h)];
        if (twin == none)
            break;
        h = twin;
    } while (h != start);
    if (h == start && edges.size() > 1)
        return;
    for (uint32_t twin = halfedges[start]; twin != none; twin = halfedges[h])
    {
        h = DelaunayMesh::next(twin);
        if (h == start)
            break;
        edges.push_back(h);
    }
}

void ConstraintForcer::force(uint32_t a, uint32_t b)
{
    // A segment through a vertex is forced as two segments.
    uint32_t guard = static_cast<uint32_t>(mesh.getPoints().size()) + 1;
    while (a != b && a != none && guard-- > 0)
    {
        uint32_t resume = none;
        if (!forceSegment(a, b, resume))
            return;
        a = resume;
    }
}

// Forces a-b up to b or to the first vertex on the segment, returned in `resume`
// (none when b was reached). False when the walk cannot proceed.
bool ConstraintForcer::forceSegment(uint32_t a, uint32_t b, uint32_t& resume)
{
    const std::vector<uint32_t>& triangles = mesh.getTriangles();
    const std::vector<uint32_t>& halfedges = mesh.getHalfedges();
    const osg::Vec3dArray& points = mesh.getPoints();

    std::vector<uint32_t> star;
    outgoing(a, star);
    uint32_t entry = none;
    const osg::Vec3d toB = points[b] - points[a];
    auto onSegment = [&](uint32_t v) {
        const osg::Vec3d toV = points[v] - points[a];
        return mesh.orient(a, b, v) == 0.0 && toV.x() * toB.x() + toV.y() * toB.y() > 0.0;
    };
    for (uint32_t h : star)
    {
        // Both ends of the opposite side, as a hull vertex has one neighbour that
        // no outgoing half-edge reaches.
        const uint32_t v = triangles[DelaunayMesh::next(h)];
        const uint32_t w = triangles[DelaunayMesh::prev(h)];
        if (v == b || w == b)
            return true;
        if (onSegment(v) || onSegment(w))
        {
            resume = onSegment(v) ? v : w;
            return true;
        }
        if (entry == none && mesh.orient(a, v, b) > 0.0 && mesh.orient(a, w, b) < 0.0)
            entry = DelaunayMesh::next(h);
    }
    if (entry == none)
    {
        OSG_WARN << "DelaunayTriangulator: constraint edge " << a << " - " << b
                 << " leaves the triangulation" << std::endl;
        return false;
    }

    // right: the chain of crossed-edge ends right of a->b; left: those left of it.
    std::vector<uint32_t> right{a, triangles[entry]};
    std::vector<uint32_t> left{a, triangles[DelaunayMesh::next(entry)]};
    std::vector<uint32_t> crossed{entry / 3};
    uint32_t end = none;
    for (uint32_t h = entry;;)
    {
        const uint32_t twin = halfedges[h];
        if (twin == none)
        {
            const uint32_t t = h / 3;
            OSG_WARN << "tradj error " << triangles[3 * t] << " , "
                     << triangles[3 * t + 1] << " , " << triangles[3 * t + 2]
                     << std::endl;
            return false;
        }
        crossed.push_back(twin / 3);
        if (crossed.size() > triangles.size() / 3)
            return false; // only a damaged mesh could be crossed more often
        const uint32_t y = triangles[DelaunayMesh::prev(twin)];
        if (y == b)
        {
            end = b;
            break;
        }
        const double side = mesh.orient(a, b, y);
        if (side == 0.0)
        {
            end = y;
            resume = y;
            break;
        }
        if (side > 0.0)
        {
            left.push_back(y);
            h = DelaunayMesh::next(twin);
        }
        else
        {
            right.push_back(y);
            h = DelaunayMesh::prev(twin);
        }
    }
    if (crossed.size() >= 900)
        OSG_WARN << " found " << crossed.size() << " adjacent tris " << std::endl;
    right.push_back(end);
    left.push_back(end);
    std::reverse(left.begin(), left.end());

    PolygonFiller filler(points);
    std::vector<uint32_t> fill;
    const PolygonFiller::Result rightFill = filler.fill(right, fill);
    const PolygonFiller::Result leftFill =
        rightFill == PolygonFiller::FAILED ? PolygonFiller::FAILED : filler.fill(left, fill);
    if (leftFill == PolygonFiller::FAILED)
    {
        OSG_WARN << "DelaunayTriangulator: could not fill along constraint edge "
                 << a << " - " << end << std::endl;
        resume = none;
        return false;
    }
    numCrossed += static_cast<uint32_t>(crossed.size());
    for (PolygonFiller::Result result : {rightFill, leftFill})
    {
        if (result == PolygonFiller::TESSELLATED)
            ++numTessellated;
        else
            ++numEarsClipped;
    }
    replace(crossed, fill);
    return true;
}

void ConstraintForcer::replace(const std::vector<uint32_t>& crossed,
                               const std::vector<uint32_t>& fill)
{
    std::vector<uint32_t>& triangles = mesh.getTriangles();
    std::vector<uint32_t>& halfedges = mesh.getHalfedges();

    // The outside neighbours of the removed region, by directed edge.
    std::vector<uint32_t> sorted = crossed;
    std::sort(sorted.begin(), sorted.end());
    std::unordered_map<uint64_t, uint32_t> boundary;
    for (uint32_t t : crossed)
    {
        for (uint32_t h = 3 * t; h < 3 * t + 3; ++h)
        {
            const uint32_t twin = halfedges[h];
            if (twin == none || !std::binary_search(sorted.begin(), sorted.end(), twin / 3))
                boundary[edgeKey(triangles[h], triangles[DelaunayMesh::next(h)])] = twin;
        }
    }

    std::vector<uint32_t> slots = crossed;
    const size_t numNew = fill.size() / 3;
    while (slots.size() < numNew)
    {
        slots.push_back(static_cast<uint32_t>(triangles.size() / 3));
        triangles.insert(triangles.end(), 3, none);
        halfedges.insert(halfedges.end(), 3, none);
    }
    for (size_t i = numNew; i < slots.size(); ++i)
    {
        for (uint32_t h = 3 * slots[i]; h < 3 * slots[i] + 3; ++h)
            triangles[h] = halfedges[h] = none;
    }

    std::unordered_map<uint64_t, uint32_t> open;
    for (size_t i = 0; i < numNew; ++i)
    {
        const uint32_t t = slots[i];
        for (uint32_t k = 0; k < 3; ++k)
            triangles[3 * t + k] = fill[3 * i + k];
    }
    for (size_t i = 0; i < numNew; ++i)
    {
        const uint32_t t = slots[i];
        for (uint32_t h = 3 * t; h < 3 * t + 3; ++h)
        {
            const uint32_t from = triangles[h], to = triangles[DelaunayMesh::next(h)];
            vertexEdge[from] = h;
            auto twin = open.find(edgeKey(to, from));
            if (twin != open.end())
            {
                halfedges[h] = twin->second;
                halfedges[twin->second] = h;
                open.erase(twin);
                continue;
            }
            auto outside = boundary.find(edgeKey(from, to));
            if (outside != boundary.end())
            {
                halfedges[h] = outside->second;
                if (outside->second != none)
                    halfedges[outside->second] = h;
                continue;
            }
            open[edgeKey(from, to)] = h;
        }
    }
}

} // namespace osgTAVRI
