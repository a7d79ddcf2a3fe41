#pragma once

#include <osg/Node>
#include <osg/Vec3d>
#include <osg/Vec4ub>

#include <vector>

namespace osgTAVRI
{

// The surface of one written tile, read back from its scene graph: the height at any point
// of the plane, from the triangle under it, else from the nearest vertex within reach (the
// margin points that only trimmed triangles used still carry the ground there). Coarser
// levels are sampled from here; whatever else a tile carries (a texture, say) can be read
// from the same scene graph.
class TileSampler
{
public:
    // Collects every triangle and vertex of `node` in world coordinates, transforms applied.
    explicit TileSampler(const osg::Node& node);

    bool empty() const { return triangles.empty() && vertices.empty(); }
    std::size_t getNumTriangles() const { return triangles.size() / 3; }

    // NaN when no triangle holds (x, y) and no vertex lies within `reach` of it.
    double height(double x, double y, double reach) const;

    // Heights on the (cells + 1) x (cells + 1) lattice over the square of edge `size` whose
    // south-west corner is (x0, y0), row by row from the south; NaN where height() is.
    std::vector<float> sampleLattice(double x0, double y0, double size, unsigned cells) const;

    // The same lattice's colours: each the average of the vertex colours nearest to that
    // lattice vertex (within half a cell along both axes), alpha 0 where there is none. Empty
    // when the tile has no vertex colours.
    std::vector<osg::Vec4ub> averageColours(double x0, double y0, double size, unsigned cells) const;

private:
    void buildBuckets();
    // The bucket range of a coordinate, clamped to the bucket grid.
    unsigned bucketX(double x) const;
    unsigned bucketY(double y) const;

    std::vector<osg::Vec3d> vertices;
    std::vector<unsigned> triangles; // three vertex indices per triangle
    std::vector<osg::Vec4ub> colours; // one per vertex, or none

    // A uniform grid over the vertices' extent. Bucket b lists the triangles whose box meets it
    // in triangleList[triangleStart[b] .. triangleStart[b + 1]) (compressed rows), and the
    // vertices inside it the same way, so a lookup touches a few triangles, not the tile.
    double originX = 0.0, originY = 0.0, bucketSize = 1.0;
    unsigned bucketsX = 0, bucketsY = 0;
    std::vector<unsigned> triangleStart, triangleList;
    std::vector<unsigned> vertexStart, vertexList;
};

} // namespace osgTAVRI
