#include "tests/support/GridMesh.h"

#include <osg/Geometry>

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

} // namespace tavritest
