#pragma once

#include "tin/triangulation/DelaunayConstraint.h"

#include <osg/Array>
#include <osg/PrimitiveSet>
#include <osg/Referenced>
#include <osg/ref_ptr>

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

class DelaunayMesh;

// 2.5-dimensional Delaunay triangulation of a point array: triangles are formed in
// XY, Z rides along. triangulate() sorts the array by x, y, z and drops points that
// repeat an XY position (the lowest z survives); the triangles index that array.
// The convex hull is always part of the result, forced as a closed constraint loop.
class DelaunayTriangulator : public osg::Referenced
{
public:
    typedef std::vector<osg::ref_ptr<DelaunayConstraint>> ConstraintList;

    explicit DelaunayTriangulator(osg::Vec3dArray* points = nullptr);

    void setInputPointArray(osg::Vec3dArray* array) { points = array; }
    osg::Vec3dArray* getInputPointArray() { return points.get(); }
    const osg::Vec3dArray* getInputPointArray() const { return points.get(); }

    // Constraint edges are forced into the result; their points must be sample points.
    void addInputConstraint(DelaunayConstraint* constraint);
    const ConstraintList& getConstraintList() const { return constraints; }

    // False only for a missing array, fewer than 3 points or more than maxPoints(); then
    // nothing is produced.
    bool triangulate();

    // The most points one triangulation takes: its up to 2n triangles number their half-edges
    // 3t + k in 32 bits, below the "none" sentinel, with room for the points hole filling adds.
    static std::uint64_t maxPoints() { return 0xFFFFFFFEull / 6 - 1024; }

    // GL_TRIANGLES, counter-clockwise in XY; null until triangulate() succeeded.
    osg::DrawElementsUInt* getTriangles() { return prim_tris.get(); }
    const osg::DrawElementsUInt* getTriangles() const { return prim_tris.get(); }

protected:
    ~DelaunayTriangulator() override;

private:
    // The constraint edges as pairs of point indices, none for a point that is no sample point.
    std::vector<uint32_t> constraintSegments() const;
    void forceConstraints(DelaunayMesh& mesh, std::vector<uint32_t>& segments);

    osg::ref_ptr<osg::Vec3dArray> points;
    osg::ref_ptr<osg::DrawElementsUInt> prim_tris;
    ConstraintList constraints;
};

} // namespace osgTAVRI
