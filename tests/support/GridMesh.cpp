#include "tests/support/GridMesh.h"

#include <osg/Geometry>

#include <cmath>

namespace tavritest
{

osg::ref_ptr<osg::Geode> makeGridMesh(osg::Vec3Array* vertices, int n)
{
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i)
        {
            const unsigned a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            for (unsigned index : {a, b, d, a, d, c})
                triangles->push_back(index);
        }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    geometry->addPrimitiveSet(triangles.get());
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    return geode;
}

osg::ref_ptr<osg::Geode> makeRollingGround(int n, float amplitude)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    const float step = 1000.0f / static_cast<float>(n - 1);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const float x = -500.0f + step * i, y = -500.0f + step * j;
            vertices->push_back(osg::Vec3(x, y, amplitude * std::sin(x / 70.0f) * std::cos(y / 90.0f)));
        }
    return makeGridMesh(vertices.get(), n);
}

} // namespace tavritest
