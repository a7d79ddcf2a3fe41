#include "tin/tiling/SmoothNormals.h"

#include "tin/triangulation/HugePages.h"

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
    const osg::Vec3Array& v = *vertices;
    const std::size_t n = v.size();

    // The face normals are summed straight into the normal array and normalised in place.
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    reserveHuge(normals->asVector(), n);
    normals->resize(n);
    osg::Vec3Array& sums = *normals;
    osg::TriangleIndexFunctor<AddFaceNormals> functor;
    functor.vertices = vertices;
    functor.sums = &sums.asVector();
    const osg::DrawElementsUInt* list = geometry.getNumPrimitiveSets() == 1
                                            ? dynamic_cast<const osg::DrawElementsUInt*>(geometry.getPrimitiveSet(0))
                                            : nullptr;
    if (list && list->getMode() == GL_TRIANGLES)
    {
        // A tile's one list, in the functor's order: its triangles jump about the vertex
        // array, so the vertices of a triangle further on are fetched while this one is added.
        const std::size_t count = list->size() - list->size() % 3, ahead = 3 * 16;
        const GLuint* index = static_cast<const GLuint*>(list->getDataPointer());
        for (std::size_t i = 0; i < count; i += 3)
        {
            if (i + ahead < count)
                for (std::size_t k = i + ahead; k < i + ahead + 3; ++k)
                {
                    __builtin_prefetch(&v[index[k]]);
                    __builtin_prefetch(&sums[index[k]], 1);
                }
            functor(index[i], index[i + 1], index[i + 2]);
        }
    }
    else
        geometry.accept(functor);

    // Vertices at one position share one sum, added up in index order: each group is
    // sorted by position, then index. A tile's vertices come sorted by x, so the groups
    // lie within runs of equal x and only those short runs need sorting.
    std::vector<unsigned> order;
    auto byPosition = [&v](unsigned l, unsigned r) { return v[l] < v[r] || (!(v[r] < v[l]) && l < r); };
    auto shareSums = [&]() {
        for (std::size_t begin = 0; begin < order.size();)
        {
            std::size_t end = begin + 1;
            osg::Vec3 sum = sums[order[begin]];
            while (end < order.size() && v[order[end]] == v[order[begin]])
                sum += sums[order[end++]];
            sum.normalize();
            for (std::size_t k = begin; k < end; ++k)
                sums[order[k]] = sum;
            begin = end;
        }
    };
    const bool sortedByX = std::is_sorted(v.begin(), v.end(),
                                          [](const osg::Vec3& l, const osg::Vec3& r) { return l.x() < r.x(); });
    if (!sortedByX)
    {
        order.resize(n);
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), byPosition);
        shareSums();
    }
    else
        for (std::size_t begin = 0; begin < n;)
        {
            std::size_t end = begin + 1;
            while (end < n && v[end].x() == v[begin].x())
                ++end;
            if (end == begin + 1)
                sums[begin].normalize();
            else
            {
                order.resize(end - begin);
                std::iota(order.begin(), order.end(), unsigned(begin));
                std::sort(order.begin(), order.end(), byPosition);
                shareSums();
            }
            begin = end;
        }
    geometry.setNormalArray(normals.get(), osg::Array::BIND_PER_VERTEX);
}

} // namespace osgTAVRI
