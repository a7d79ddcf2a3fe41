#pragma once

#include <gtest/gtest.h>

#include <osg/Array>
#include <osg/PrimitiveSet>

#include <cstdint>
#include <string>
#include <vector>

namespace tintest
{

std::vector<uint32_t> indicesOf(const osg::DrawElementsUInt* triangles);

// A valid triangulation of points distinct in XY: indices in range, every triangle
// counter-clockwise with positive area (exact test), every directed edge used once,
// the edges without twin forming one convex loop, every point a vertex, and the
// triangle areas adding up to the convex hull's area.
::testing::AssertionResult isValidTriangulation(const osg::Vec3dArray& points,
                                                const std::vector<uint32_t>& triangles);

// Every interior edge is locally Delaunay: the far vertex of its neighbour lies not
// strictly inside the triangle's circumcircle (exact test). For a triangulation that
// is the same as every circumcircle being empty.
::testing::AssertionResult isDelaunay(const osg::Vec3dArray& points,
                                      const std::vector<uint32_t>& triangles);

// Area of the convex hull in XY (monotone chain, independent of the triangulator).
double convexHullArea(const osg::Vec3dArray& points);

// Triangles as sorted index triples in sorted order, for comparing triangle sets.
std::vector<std::vector<uint32_t>> canonicalTriangles(const std::vector<uint32_t>& triangles);

// CGAL's Delaunay triangulation of the points as canonical index triples.
std::vector<std::vector<uint32_t>> cgalTriangles(const osg::Vec3dArray& points);

// Points of a LAS file (every record), read through the tin LAS layer.
osg::ref_ptr<osg::Vec3dArray> readLasPoints(const std::string& path);

} // namespace tintest
