#include "tin/tiling/SmoothNormals.h"

#include <osg/TriangleIndexFunctor>

#include <algorithm>
#include <numeric>
#include <vector>

namespace osgTAVRI
{

namespace
{
struct AddFaceNormals
{
    const osg::Vec3Array* vertices = nullptr;
    std::vector<osg::Vec3>* sums = nullptr;
    void operator()(unsigned a, unsigned b, unsigned c)
    {
        const osg::Vec3& v1 = (*vertices)[a];
        const osg::Vec3& v2 = (*vertices)[b];
        const osg::Vec3& v3 = (*vertices)[c];
        const osg::Vec3 normal = (v2 - v1) ^ (v3 - v1);
        (*sums)[a] += normal;
        (*sums)[b] += normal;
        (*sums)[c] += normal;
    }
};
} // namespace

void smoothNormals(osg::Geometry& geometry)
{
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
    if (!vertices || vertices->empty())
        return;
    const std::size_t n = vertices->size();

    std::vector<osg::Vec3> sums(n, osg::Vec3());
    osg::TriangleIndexFunctor<AddFaceNormals> functor;
    functor.vertices = vertices;
    functor.sums = &sums;
    geometry.accept(functor);

    // Vertices at the same position share one normal: group them by sorting.
    std::vector<unsigned> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](unsigned l, unsigned r) {
        return (*vertices)[l] < (*vertices)[r] || (!((*vertices)[r] < (*vertices)[l]) && l < r);
    });
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array(n);
    for (std::size_t begin = 0; begin < n;)
    {
        std::size_t end = begin + 1;
        osg::Vec3 sum = sums[order[begin]];
        while (end < n && (*vertices)[order[end]] == (*vertices)[order[begin]])
            sum += sums[order[end++]];
        sum.normalize();
        for (std::size_t k = begin; k < end; ++k)
            (*normals)[order[k]] = sum;
        begin = end;
    }
    geometry.setNormalArray(normals.get(), osg::Array::BIND_PER_VERTEX);
}

} // namespace osgTAVRI
