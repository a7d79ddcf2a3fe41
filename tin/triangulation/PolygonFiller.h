#pragma once

#include <osg/Array>

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

// Triangulates a simple polygon whose corners are points of the array, with GLU's
// tessellator on double coordinates. Its output is accepted only when it is a
// triangulation of the polygon by its own corners (counter-clockwise, no zero-area
// triangle, every side used once, every diagonal from both sides); otherwise the
// polygon is cut into ears with exact orientation tests.
class PolygonFiller
{
public:
    explicit PolygonFiller(const osg::Vec3dArray& points);

    enum Result
    {
        FAILED,
        TESSELLATED,
        EARS_CLIPPED
    };

    // `polygon` holds point indices counter-clockwise. Appends its triangles to
    // `triangles` (three indices each, counter-clockwise) and says how they were made.
    Result fill(const std::vector<uint32_t>& polygon, std::vector<uint32_t>& triangles) const;

    // The two strategies, open for tests. Both append counter-clockwise triangles.
    bool tessellate(const std::vector<uint32_t>& polygon, std::vector<uint32_t>& triangles) const;
    bool clipEars(const std::vector<uint32_t>& polygon, std::vector<uint32_t>& triangles) const;

    // True when `triangles` triangulate `polygon` exactly, without extra points.
    bool isTriangulation(const std::vector<uint32_t>& polygon,
                         const std::vector<uint32_t>& triangles) const;

private:
    double orient(uint32_t a, uint32_t b, uint32_t c) const;

    const osg::Vec3dArray& points;
};

} // namespace osgTAVRI
