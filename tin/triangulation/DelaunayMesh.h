#pragma once

#include <osg/Array>

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

// The Delaunay triangulation of points that are distinct in XY, kept as flat
// half-edge arrays: triangle t owns the half-edges 3t, 3t + 1 and 3t + 2, counter-
// clockwise; half-edge h runs from vertex triangles[h] to triangles[next(h)], and
// halfedges[h] is its twin in the neighbouring triangle, or none on the hull.
//
// Built by a sweep-hull: starting from a seed triangle with an empty circumcircle,
// points are added in order of their distance from its circumcentre, so each one
// lies outside the hull so far and is joined to the hull edges it sees; Lawson flips
// restore the Delaunay property. A point found inside the hull (possible only when
// rounding reorders nearly equal distances) is inserted by walking to its triangle.
//
// build() puts the point array itself in insertion order and numbers the vertices by
// rank, so that the hull front and the points just added stay in cache without a
// second copy of the points beside the mesh; restoreOrder() puts the array back.
class DelaunayMesh
{
public:
    static constexpr uint32_t none = 0xffffffffu;

    explicit DelaunayMesh(osg::Vec3dArray& points);

    // False when no triangle exists (fewer than 3 points, or all collinear); the array
    // is then untouched. Otherwise the array is in insertion order and the triangles
    // index it until restoreOrder(). `order`, when given, is the insertion order of the
    // points after the seed; it serves tests that exercise insertion inside the hull.
    bool build(const std::vector<uint32_t>* order = nullptr);

    // Point indices of the array as it was to the vertices of the built mesh; none stays none.
    void toRanks(std::vector<uint32_t>& indices) const;

    // True when vertices a and b are neighbours on the hull of the built mesh.
    bool isHullEdge(uint32_t a, uint32_t b) const;

    // Puts the array back in its order and renumbers the triangles to match; the
    // half-edges are dropped, as only the triangles are wanted from here on.
    void restoreOrder();

    static uint32_t next(uint32_t h) { return (h % 3 == 2) ? h - 2 : h + 1; }
    static uint32_t prev(uint32_t h) { return (h % 3 == 0) ? h + 2 : h - 1; }

    const osg::Vec3dArray& getPoints() const { return points; }
    std::vector<uint32_t>& getTriangles() { return triangles; }
    std::vector<uint32_t>& getHalfedges() { return halfedges; }
    uint32_t getNumTriangles() const { return static_cast<uint32_t>(triangles.size() / 3); }

    double orient(uint32_t a, uint32_t b, uint32_t c) const;

private:
    bool chooseSeed(uint32_t& i0, uint32_t& i1, uint32_t& i2) const;
    uint32_t hashKey(double x, double y) const;
    void hashVertex(uint32_t v);
    void insert(uint32_t p);
    void insertInside(uint32_t p);
    uint32_t locate(uint32_t p) const;
    void splitTriangle(uint32_t t, uint32_t p);
    void splitEdge(uint32_t h, uint32_t p);
    uint32_t addTriangle(uint32_t a, uint32_t b, uint32_t c);
    void setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c);
    void link(uint32_t h, uint32_t twin);
    void linkOuter(uint32_t h, uint32_t twin);
    void legalize(uint32_t h);

    osg::Vec3dArray& points;
    std::vector<uint32_t> triangles;
    // From build() to restoreOrder(), ids[rank] is the index the point had.
    std::vector<uint32_t> ids;
    std::vector<uint32_t> halfedges;

    // The current hull as a counter-clockwise ring; hullTri[v] is the half-edge
    // from v to hullNext[v]. hullHash maps a pseudo-angle around the centre to a
    // hull vertex, the starting guess for the edges a new point sees.
    std::vector<uint32_t> hullPrev, hullNext, hullTri, hullHash;
    // The built hull's edges, sorted, each keyed by its lower vertex in the high half.
    std::vector<uint64_t> hullEdges;
    uint32_t hullStart = none;
    double centreX = 0.0, centreY = 0.0;
    std::vector<uint32_t> flipStack;
};

} // namespace osgTAVRI
