#pragma once

#include <osg/Geometry>

namespace osgTAVRI
{

// Per-vertex normals as the toolkit's SmoothingVisitor computes them with its default
// crease angle: every triangle adds its unnormalised face normal (so larger triangles
// weigh more) to each of its vertices, vertices at one position share the sum, and the
// sums are normalised. This runs in O(n log n) where the visitor's set of vertex
// positions became the slowest stage of a tile.
void smoothNormals(osg::Geometry& geometry);

} // namespace osgTAVRI
