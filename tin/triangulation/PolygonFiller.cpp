#include "tin/triangulation/PolygonFiller.h"

#include "tin/triangulation/Predicates.h"

#include <osg/GL>
#include <GL/glu.h>

#include <algorithm>
#include <map>
#include <utility>

#ifndef CALLBACK
#define CALLBACK
#endif

namespace osgTAVRI
{

namespace
{

// What the GLU callbacks collect: triangles as positions within the polygon.
struct TessellationResult
{
    std::vector<uint32_t> triangles;
    std::vector<uint32_t> primitive;
    GLenum mode = 0;
    bool failed = false;
};

void CALLBACK tessBegin(GLenum mode, void* data)
{
    auto* result = static_cast<TessellationResult*>(data);
    result->mode = mode;
    result->primitive.clear();
}

void CALLBACK tessVertex(void* vertex, void* data)
{
    auto* result = static_cast<TessellationResult*>(data);
    result->primitive.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(vertex)));
}

void CALLBACK tessEnd(void* data)
{
    auto* result = static_cast<TessellationResult*>(data);
    const std::vector<uint32_t>& v = result->primitive;
    std::vector<uint32_t>& out = result->triangles;
    const size_t n = v.size();
    if (result->mode == GL_TRIANGLES)
    {
        for (size_t i = 0; i + 2 < n; i += 3)
            out.insert(out.end(), {v[i], v[i + 1], v[i + 2]});
    }
    else if (result->mode == GL_TRIANGLE_STRIP)
    {
        for (size_t i = 0; i + 2 < n; ++i)
        {
            if (i % 2 == 0)
                out.insert(out.end(), {v[i], v[i + 1], v[i + 2]});
            else
                out.insert(out.end(), {v[i + 1], v[i], v[i + 2]});
        }
    }
    else if (result->mode == GL_TRIANGLE_FAN)
    {
        for (size_t i = 1; i + 1 < n; ++i)
            out.insert(out.end(), {v[0], v[i], v[i + 1]});
    }
}

// A vertex made by the tessellator means the polygon crossed itself; such a result
// is refused, as a triangulation must use the polygon's own corners.
void CALLBACK tessCombine(GLdouble[3], void*[4], GLfloat[4], void** out, void* data)
{
    static_cast<TessellationResult*>(data)->failed = true;
    *out = reinterpret_cast<void*>(static_cast<uintptr_t>(0));
}

void CALLBACK tessError(GLenum, void* data)
{
    static_cast<TessellationResult*>(data)->failed = true;
}

} // namespace

PolygonFiller::PolygonFiller(const osg::Vec3dArray& pointArray)
    : points(pointArray)
{
}

double PolygonFiller::orient(uint32_t a, uint32_t b, uint32_t c) const
{
    const osg::Vec3d& pa = points[a];
    const osg::Vec3d& pb = points[b];
    const osg::Vec3d& pc = points[c];
    return predicates::orient2d(pa.x(), pa.y(), pb.x(), pb.y(), pc.x(), pc.y());
}

PolygonFiller::Result PolygonFiller::fill(const std::vector<uint32_t>& polygon,
                                          std::vector<uint32_t>& triangles) const
{
    std::vector<uint32_t> result;
    if (tessellate(polygon, result) && isTriangulation(polygon, result))
    {
        triangles.insert(triangles.end(), result.begin(), result.end());
        return TESSELLATED;
    }
    result.clear();
    if (clipEars(polygon, result) && isTriangulation(polygon, result))
    {
        triangles.insert(triangles.end(), result.begin(), result.end());
        return EARS_CLIPPED;
    }
    return FAILED;
}

bool PolygonFiller::tessellate(const std::vector<uint32_t>& polygon,
                               std::vector<uint32_t>& triangles) const
{
    if (polygon.size() < 3)
        return false;
    GLUtesselator* tess = gluNewTess();
    if (!tess)
        return false;
    typedef void(CALLBACK * Callback)();
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&tessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&tessVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<Callback>(&tessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&tessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&tessError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessProperty(tess, GLU_TESS_BOUNDARY_ONLY, GL_FALSE);
    gluTessNormal(tess, 0.0, 0.0, 1.0);

    // GLU keeps pointers to the coordinates until the polygon ends.
    std::vector<GLdouble> coords(polygon.size() * 3);
    TessellationResult result;
    gluTessBeginPolygon(tess, &result);
    gluTessBeginContour(tess);
    for (size_t i = 0; i < polygon.size(); ++i)
    {
        const osg::Vec3d& p = points[polygon[i]];
        coords[3 * i] = p.x();
        coords[3 * i + 1] = p.y();
        coords[3 * i + 2] = p.z();
        gluTessVertex(tess, &coords[3 * i], reinterpret_cast<void*>(static_cast<uintptr_t>(i)));
    }
    gluTessEndContour(tess);
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);

    if (result.failed)
        return false;
    for (size_t i = 0; i + 2 < result.triangles.size(); i += 3)
    {
        uint32_t a = polygon[result.triangles[i]];
        uint32_t b = polygon[result.triangles[i + 1]];
        const uint32_t c = polygon[result.triangles[i + 2]];
        const double o = orient(a, b, c);
        if (o == 0.0)
            continue; // zero area: either redundant or a gap the check below finds
        if (o < 0.0)
            std::swap(a, b);
        triangles.insert(triangles.end(), {a, b, c});
    }
    return true;
}

bool PolygonFiller::clipEars(const std::vector<uint32_t>& polygon,
                             std::vector<uint32_t>& triangles) const
{
    std::vector<uint32_t> ring = polygon;
    // Look for the next ear where the last one was cut, so a pass that finds none
    // means there is none.
    size_t i = 0, misses = 0;
    while (ring.size() > 3)
    {
        const size_t n = ring.size();
        if (misses >= n)
            return false;
        i %= n;
        const uint32_t a = ring[(i + n - 1) % n], b = ring[i], c = ring[(i + 1) % n];
        bool ear = orient(a, b, c) > 0.0;
        for (size_t j = 0; j < n && ear; ++j)
        {
            const uint32_t m = ring[j];
            if (m != a && m != b && m != c)
                ear = !(orient(a, b, m) >= 0.0 && orient(b, c, m) >= 0.0 && orient(c, a, m) >= 0.0);
        }
        if (!ear)
        {
            ++i;
            ++misses;
            continue;
        }
        triangles.insert(triangles.end(), {a, b, c});
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(i));
        i = (i + n - 2) % (n - 1);
        misses = 0;
    }
    if (ring.size() == 3 && orient(ring[0], ring[1], ring[2]) > 0.0)
    {
        triangles.insert(triangles.end(), {ring[0], ring[1], ring[2]});
        return true;
    }
    return false;
}

bool PolygonFiller::isTriangulation(const std::vector<uint32_t>& polygon,
                                    const std::vector<uint32_t>& triangles) const
{
    const size_t n = polygon.size();
    if (n < 3 || triangles.size() != 3 * (n - 2))
        return false;
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (size_t i = 0; i < triangles.size(); i += 3)
    {
        if (orient(triangles[i], triangles[i + 1], triangles[i + 2]) <= 0.0)
            return false;
        for (size_t k = 0; k < 3; ++k)
        {
            const auto edge = std::make_pair(triangles[i + k], triangles[i + (k + 1) % 3]);
            if (++edges[edge] > 1)
                return false;
        }
    }
    for (size_t i = 0; i < n; ++i)
    {
        const auto side = std::make_pair(polygon[i], polygon[(i + 1) % n]);
        auto it = edges.find(side);
        if (it == edges.end())
            return false;
        edges.erase(it);
    }
    for (const auto& entry : edges)
    {
        if (edges.find(std::make_pair(entry.first.second, entry.first.first)) == edges.end())
            return false;
    }
    return true;
}

} // namespace osgTAVRI
