#include "tin/levels/TileSampler.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <osg/Transform>
#include <osg/TriangleIndexFunctor>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace osgTAVRI
{

namespace
{
struct IndexCollector
{
    std::vector<unsigned>* indices = nullptr;
    unsigned base = 0;
    void operator()(unsigned a, unsigned b, unsigned c)
    {
        indices->push_back(base + a);
        indices->push_back(base + b);
        indices->push_back(base + c);
    }
};

// Gathers the geometry below a node in world coordinates (doubles, so that projected
// coordinates in the millions keep their centimetres).
class SurfaceCollector : public osg::NodeVisitor
{
public:
    SurfaceCollector(std::vector<osg::Vec3d>& v, std::vector<unsigned>& t, std::vector<osg::Vec4ub>& c)
        : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), vertices(v), triangles(t), colours(c)
    {
    }

    void apply(osg::Transform& transform) override
    {
        const osg::Matrixd saved = matrix;
        transform.computeLocalToWorldMatrix(matrix, this);
        traverse(transform);
        matrix = saved;
    }

    void apply(osg::Geometry& geometry) override
    {
        const osg::Vec3Array* local = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
        if (!local)
            return;
        osg::TriangleIndexFunctor<IndexCollector> functor;
        functor.indices = &triangles;
        functor.base = unsigned(vertices.size());
        // Colours count only while every geometry has one per vertex.
        const osg::Vec4ubArray* rgb = dynamic_cast<const osg::Vec4ubArray*>(geometry.getColorArray());
        coloured = coloured && rgb && rgb->size() == local->size() &&
                   geometry.getColorArray()->getBinding() == osg::Array::BIND_PER_VERTEX;
        if (coloured)
            colours.insert(colours.end(), rgb->begin(), rgb->end());
        for (const osg::Vec3& v : *local)
            vertices.push_back(osg::Vec3d(v) * matrix);
        geometry.accept(functor);
    }

    void finish()
    {
        if (!coloured)
            colours.clear();
    }

private:
    std::vector<osg::Vec3d>& vertices;
    std::vector<unsigned>& triangles;
    std::vector<osg::Vec4ub>& colours;
    bool coloured = true;
    osg::Matrixd matrix;
};

// Compressed rows: counts per bucket turned into start offsets, then filled in order.
void fillRows(std::vector<unsigned>& start, std::vector<unsigned>& list, std::size_t buckets,
              const std::function<void(const std::function<void(unsigned, unsigned)>&)>& each)
{
    start.assign(buckets + 1, 0);
    each([&](unsigned bucket, unsigned) { ++start[bucket + 1]; });
    for (std::size_t b = 0; b < buckets; ++b)
        start[b + 1] += start[b];
    list.assign(start[buckets], 0);
    std::vector<unsigned> next(start.begin(), start.end() - 1);
    each([&](unsigned bucket, unsigned item) { list[next[bucket]++] = item; });
}
} // namespace

TileSampler::TileSampler(const osg::Node& node)
{
    SurfaceCollector collector(vertices, triangles, colours);
    const_cast<osg::Node&>(node).accept(collector);
    collector.finish();
    buildBuckets();
}

unsigned TileSampler::bucketX(double x) const
{
    const double b = std::floor((x - originX) / bucketSize);
    return unsigned(std::min(std::max(b, 0.0), double(bucketsX - 1)));
}

unsigned TileSampler::bucketY(double y) const
{
    const double b = std::floor((y - originY) / bucketSize);
    return unsigned(std::min(std::max(b, 0.0), double(bucketsY - 1)));
}

void TileSampler::buildBuckets()
{
    if (vertices.empty())
        return;
    double x0 = vertices[0].x(), x1 = x0, y0 = vertices[0].y(), y1 = y0;
    for (const osg::Vec3d& v : vertices)
    {
        x0 = std::min(x0, v.x());
        x1 = std::max(x1, v.x());
        y0 = std::min(y0, v.y());
        y1 = std::max(y1, v.y());
    }
    // About two triangles per bucket.
    const double side = std::max(std::max(x1 - x0, y1 - y0), 1e-6);
    const double perSide = std::ceil(std::sqrt(double(std::max<std::size_t>(triangles.size() / 6, 1))));
    bucketsX = bucketsY = unsigned(std::min(perSide, 4096.0));
    bucketSize = side / bucketsX * (1.0 + 1e-9);
    originX = x0;
    originY = y0;
    const std::size_t buckets = std::size_t(bucketsX) * bucketsY;

    fillRows(triangleStart, triangleList, buckets, [&](const std::function<void(unsigned, unsigned)>& add) {
        for (unsigned t = 0; t < triangles.size() / 3; ++t)
        {
            const osg::Vec3d& a = vertices[triangles[3 * t]];
            const osg::Vec3d& b = vertices[triangles[3 * t + 1]];
            const osg::Vec3d& c = vertices[triangles[3 * t + 2]];
            const unsigned bx0 = bucketX(std::min({a.x(), b.x(), c.x()}));
            const unsigned bx1 = bucketX(std::max({a.x(), b.x(), c.x()}));
            const unsigned by0 = bucketY(std::min({a.y(), b.y(), c.y()}));
            const unsigned by1 = bucketY(std::max({a.y(), b.y(), c.y()}));
            for (unsigned by = by0; by <= by1; ++by)
                for (unsigned bx = bx0; bx <= bx1; ++bx)
                    add(by * bucketsX + bx, t);
        }
    });
    fillRows(vertexStart, vertexList, buckets, [&](const std::function<void(unsigned, unsigned)>& add) {
        for (unsigned v = 0; v < vertices.size(); ++v)
            add(bucketY(vertices[v].y()) * bucketsX + bucketX(vertices[v].x()), v);
    });
}

double TileSampler::height(double x, double y, double reach) const
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    if (vertices.empty())
        return none;
    const unsigned bx = bucketX(x), by = bucketY(y);
    const std::size_t bucket = std::size_t(by) * bucketsX + bx;
    // Barycentric coordinates; a point on an edge counts as inside, and the first triangle of
    // the bucket that holds it decides, so the answer does not depend on anything but the tile.
    for (unsigned k = triangleStart[bucket]; k < triangleStart[bucket + 1]; ++k)
    {
        const unsigned t = triangleList[k];
        const osg::Vec3d& a = vertices[triangles[3 * t]];
        const osg::Vec3d& b = vertices[triangles[3 * t + 1]];
        const osg::Vec3d& c = vertices[triangles[3 * t + 2]];
        const double d = (b.y() - c.y()) * (a.x() - c.x()) + (c.x() - b.x()) * (a.y() - c.y());
        if (d == 0.0)
            continue;
        const double u = ((b.y() - c.y()) * (x - c.x()) + (c.x() - b.x()) * (y - c.y())) / d;
        const double v = ((c.y() - a.y()) * (x - c.x()) + (a.x() - c.x()) * (y - c.y())) / d;
        const double w = 1.0 - u - v;
        const double eps = -1e-9;
        if (u >= eps && v >= eps && w >= eps)
            return u * a.z() + v * b.z() + w * c.z();
    }

    // Nearest vertex within reach; ties go to the lower index.
    const double r = reach;
    double best = r * r;
    double z = none;
    const unsigned x0 = bucketX(x - r), x1 = bucketX(x + r), y0 = bucketY(y - r), y1 = bucketY(y + r);
    unsigned bestIndex = ~0u;
    for (unsigned j = y0; j <= y1; ++j)
        for (unsigned i = x0; i <= x1; ++i)
        {
            const std::size_t b = std::size_t(j) * bucketsX + i;
            for (unsigned k = vertexStart[b]; k < vertexStart[b + 1]; ++k)
            {
                const unsigned index = vertexList[k];
                const osg::Vec3d& p = vertices[index];
                const double d2 = (p.x() - x) * (p.x() - x) + (p.y() - y) * (p.y() - y);
                if (d2 < best || (d2 == best && index < bestIndex && !std::isnan(z)))
                {
                    best = d2;
                    bestIndex = index;
                    z = p.z();
                }
            }
        }
    return z;
}

std::vector<float> TileSampler::sampleLattice(double x0, double y0, double size, unsigned cells) const
{
    std::vector<float> heights;
    heights.reserve(std::size_t(cells + 1) * (cells + 1));
    const double step = size / cells;
    for (unsigned j = 0; j <= cells; ++j)
        for (unsigned i = 0; i <= cells; ++i)
            heights.push_back(float(height(x0 + i * step, y0 + j * step, step)));
    return heights;
}

std::vector<osg::Vec4ub> TileSampler::averageColours(double x0, double y0, double size, unsigned cells) const
{
    std::vector<osg::Vec4ub> result;
    if (colours.empty())
        return result;
    const std::size_t side = cells + 1;
    std::vector<unsigned> sums(side * side * 4, 0);
    const double step = size / cells;
    for (std::size_t v = 0; v < vertices.size(); ++v)
    {
        const double i = std::floor((vertices[v].x() - x0) / step + 0.5), j = std::floor((vertices[v].y() - y0) / step + 0.5);
        if (i < 0.0 || j < 0.0 || i > cells || j > cells)
            continue;
        unsigned* sum = &sums[(std::size_t(j) * side + std::size_t(i)) * 4];
        for (int c = 0; c < 3; ++c)
            sum[c] += colours[v][c];
        ++sum[3];
    }
    result.resize(side * side, osg::Vec4ub(0, 0, 0, 0));
    for (std::size_t k = 0; k < result.size(); ++k)
        if (const unsigned n = sums[4 * k + 3])
            result[k] = osg::Vec4ub((unsigned char)((sums[4 * k] + n / 2) / n),
                                    (unsigned char)((sums[4 * k + 1] + n / 2) / n),
                                    (unsigned char)((sums[4 * k + 2] + n / 2) / n), 255);
    return result;
}

} // namespace osgTAVRI
