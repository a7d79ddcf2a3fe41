#pragma once

#include <osg/Array>
#include <osg/BoundingBox>
#include <osg/MatrixTransform>
#include <osg/PrimitiveSet>
#include <osg/ref_ptr>

#include <cfloat>

namespace osgTAVRI
{

// How a tile's mesh is made from its points.
struct TinSettings
{
    bool noTrim = false; // keep the margin's triangles instead of trimming to the tile's box
    double maxError = double(FLT_MAX); // simplify the mesh within this error; FLT_MAX: not at all
};

// Processor seconds spent in each stage of createTin, for benchmarks.
struct TinTimings
{
    double triangulate = 0.0;
    double simplify = 0.0;
    double smooth = 0.0;
    double trim = 0.0;
};

// Triangulates a tile's points (X and Y relative to the tile centre) and returns
// MatrixTransform(centre) -> Geode -> Geometry with single-precision vertices, smoothed
// normals and one GL_TRIANGLES list, trimmed to the tile's half-open box unless
// `settings.noTrim`. Null for fewer than 3 points or a failed triangulation.
//
// Normals are computed before trimming, so that triangles of the margin shape the
// normals along the tile's edges and neighbouring tiles meet without a seam.
// With `settings.maxError` below FLT_MAX the mesh is simplified first; the simplified triangles are
// then trimmed by the same centroid rule against the simplified vertex array, so the
// written indices always refer to the written vertices.
osg::ref_ptr<osg::MatrixTransform> createTin(osg::Vec3dArray* points, const osg::BoundingBoxd& bounds,
                                             const TinSettings& settings = TinSettings(),
                                             TinTimings* timings = nullptr);

// Keeps the triangles whose centroid, moved by the tile centre into world coordinates,
// lies in the tile box closed at its minimum and open at its maximum edges, so that a
// triangle on the edge between two tiles belongs to exactly one of them. Returns a new
// list (possibly empty), or null when the list is not GL_TRIANGLES or there is nothing
// to trim.
osg::ref_ptr<osg::DrawElementsUInt> trimTriangles(const osg::Vec3dArray* points,
                                                  const osg::DrawElementsUInt* triangles,
                                                  const osg::BoundingBoxd& bounds);

} // namespace osgTAVRI
