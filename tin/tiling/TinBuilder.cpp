#include "tin/tiling/TinBuilder.h"

#include "tin/tiling/SmoothNormals.h"
#include "tin/triangulation/HugePages.h"
#include "tin/triangulation/DelaunayTriangulator.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Notify>
#include <osg/TriangleIndexFunctor>
#include <osgUtil/Simplifier>
#include <osgUtil/SmoothingVisitor>

#include <ctime>

namespace osgTAVRI
{

namespace
{
struct CollectTriangles
{
    std::vector<GLuint>* indices = nullptr;
    void operator()(unsigned a, unsigned b, unsigned c)
    {
        indices->push_back(a);
        indices->push_back(b);
        indices->push_back(c);
    }
};

// The simplifier may leave several primitive sets of any index type; gather them into
// one GL_TRIANGLES list so the tile keeps its single primitive set.
osg::ref_ptr<osg::DrawElementsUInt> gatherTriangles(osg::Geometry& geometry)
{
    std::vector<GLuint> indices;
    osg::TriangleIndexFunctor<CollectTriangles> functor;
    functor.indices = &indices;
    geometry.accept(functor);
    return new osg::DrawElementsUInt(GL_TRIANGLES, indices.begin(), indices.end());
}

osg::ref_ptr<osg::Vec3dArray> widen(const osg::Vec3Array& vertices)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    points->reserve(vertices.size());
    for (const osg::Vec3& v : vertices)
        points->push_back(osg::Vec3d(v));
    return points;
}

// Processor time of the calling thread: on a shared machine wall time mostly measures the
// others' load.
class StageClock
{
public:
    explicit StageClock(double* target) : sum(target), start(now()) {}
    ~StageClock()
    {
        if (sum)
            *sum += now() - start;
    }

private:
    static double now()
    {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
    }

    double* sum;
    double start;
};

bool checkTrimInput(const osg::Vec3dArray* points, const osg::DrawElementsUInt* triangles)
{
    if (!triangles || triangles->getMode() != GL_TRIANGLES)
    {
        OSG_WARN << "Unsupported mode" << std::endl;
        return false;
    }
    if (!points || points->empty() || triangles->empty())
    {
        OSG_WARN << "No points/primitives!" << std::endl;
        return false;
    }
    return true;
}

// Calls keep(a, b, c) for each triangle of the list that trimTriangles keeps, in order; a
// triangle is read before it is handed on, so keep() may write over the list behind it.
template <typename Keep>
void forKeptTriangles(const osg::Vec3dArray& points, const osg::DrawElementsUInt& triangles,
                      const osg::BoundingBoxd& bounds, Keep keep)
{
    const osg::Vec3d centre = bounds.center();
    const bool valid = bounds.valid();
    const std::size_t count = points.size();
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3)
    {
        // The points of a triangle further on are fetched while this one is tested: the
        // triangles jump about the point array.
        for (std::size_t k = i + 24; k < i + 27 && k < triangles.size(); ++k)
            if (triangles[k] < count)
                __builtin_prefetch(&points[triangles[k]]);
        const GLuint a = triangles[i], b = triangles[i + 1], c = triangles[i + 2];
        if (a >= count || b >= count || c >= count)
            continue;
        const osg::Vec3d p = (points[a] + points[b] + points[c]) / 3.0 + centre;
        if (valid && p.x() >= bounds.xMin() && p.x() < bounds.xMax() && p.y() >= bounds.yMin() &&
            p.y() < bounds.yMax() && p.z() >= bounds.zMin() && p.z() <= bounds.zMax())
            keep(a, b, c);
    }
}

// trimTriangles() within the list itself: a tile's copy of its whole list would be the
// largest allocation after the triangulation.
void trimInPlace(const osg::Vec3dArray* points, osg::DrawElementsUInt* triangles, const osg::BoundingBoxd& bounds)
{
    if (!checkTrimInput(points, triangles))
        return;
    osg::DrawElementsUInt& list = *triangles;
    std::size_t kept = 0;
    forKeptTriangles(*points, list, bounds, [&list, &kept](GLuint a, GLuint b, GLuint c) {
        list[kept] = a;
        list[kept + 1] = b;
        list[kept + 2] = c;
        kept += 3;
    });
    list.resize(kept);
    list.dirty();
}
} // namespace

osg::ref_ptr<osg::DrawElementsUInt> trimTriangles(const osg::Vec3dArray* points,
                                                  const osg::DrawElementsUInt* triangles,
                                                  const osg::BoundingBoxd& bounds)
{
    if (!checkTrimInput(points, triangles))
        return nullptr;
    osg::ref_ptr<osg::DrawElementsUInt> kept = new osg::DrawElementsUInt(triangles->getMode());
    // Room for all: the part that trimming leaves unused is never touched.
    kept->reserve(triangles->size());
    forKeptTriangles(*points, *triangles, bounds, [&kept](GLuint a, GLuint b, GLuint c) {
        kept->push_back(a);
        kept->push_back(b);
        kept->push_back(c);
    });
    return kept;
}

osg::ref_ptr<osg::MatrixTransform> createTin(osg::Vec3dArray* points, const osg::BoundingBoxd& bounds,
                                             const TinSettings& settings, TinTimings* timings)
{
    const std::size_t n = points ? points->size() : 0;
    if (n < 3)
    {
        OSG_WARN << "Too few poins to create TIN: " << n << std::endl;
        return nullptr;
    }

    osg::ref_ptr<DelaunayTriangulator> triangulator = new DelaunayTriangulator(points);
    {
        StageClock clock(timings ? &timings->triangulate : nullptr);
        if (!triangulator->triangulate() || !triangulator->getTriangles())
        {
            OSG_WARN << "Triangulation failed" << std::endl;
            return nullptr;
        }
    }

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    reserveHuge(vertices->asVector(), points->size());
    for (const osg::Vec3d& p : *points)
        vertices->push_back(osg::Vec3(float(p.x()), float(p.y()), float(p.z())));

    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->addPrimitiveSet(triangulator->getTriangles());
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());

    const bool simplify = settings.maxError < double(FLT_MAX);
    if (simplify)
    {
        StageClock clock(timings ? &timings->simplify : nullptr);
        osgUtil::Simplifier simplifier(0.01, settings.maxError, 0.0);
        geode->accept(simplifier);
        osg::ref_ptr<osg::DrawElementsUInt> simplified = gatherTriangles(*geometry);
        geometry->removePrimitiveSet(0, geometry->getNumPrimitiveSets());
        geometry->addPrimitiveSet(simplified.get());
    }
    {
        StageClock clock(timings ? &timings->smooth : nullptr);
        if (dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray()))
            smoothNormals(*geometry);
        else
        {
            osgUtil::SmoothingVisitor smoother;
            geode->accept(smoother);
        }
    }

    if (!settings.noTrim)
    {
        StageClock clock(timings ? &timings->trim : nullptr);
        osg::ref_ptr<osg::DrawElementsUInt> trimmed;
        if (simplify)
        {
            const osg::Vec3Array* current = dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray());
            const osg::DrawElementsUInt* list =
                dynamic_cast<const osg::DrawElementsUInt*>(geometry->getPrimitiveSet(0));
            if (current)
                trimmed = trimTriangles(widen(*current).get(), list, bounds);
        }
        else
            trimInPlace(triangulator->getInputPointArray(), triangulator->getTriangles(), bounds);
        if (trimmed.valid())
        {
            geometry->removePrimitiveSet(0, 1);
            geometry->addPrimitiveSet(trimmed.get());
        }
    }

    osg::ref_ptr<osg::MatrixTransform> transform =
        new osg::MatrixTransform(osg::Matrixd::translate(bounds.center()));
    transform->addChild(geode.get());
    return transform;
}

} // namespace osgTAVRI
