#include "demo/tools/DemoBlocks.h"

#include <osg/Geometry>
#include <osg/Material>
#include <osg/Matrixd>

#include <cmath>
#include <stdexcept>

namespace demo
{

const char* const blockNames[4] = {"Mast", "CrossArm", "Insulator", "Stay"};

namespace
{
// Triangles with flat normals, coloured through the material so that lighting shades them.
class Mesh
{
public:
    Mesh() : vertices(new osg::Vec3Array), normals(new osg::Vec3Array) {}

    void triangle(const osg::Vec3d& a, const osg::Vec3d& b, const osg::Vec3d& c)
    {
        osg::Vec3d n = (b - a) ^ (c - a);
        if (n.normalize() == 0.0)
            return;
        for (const osg::Vec3d* p : {&a, &b, &c})
        {
            vertices->push_back(osg::Vec3(*p));
            normals->push_back(osg::Vec3(n));
        }
    }

    // A frustum along local +Z from z0 (radius r0) to z1 (radius r1), closed at both ends,
    // placed by `m`. Four sides give a square beam whose faces look along X and Y.
    void frustum(const osg::Matrixd& m, int sides, double r0, double r1, double z0, double z1)
    {
        auto corner = [&](int i, double r, double z) {
            const double angle = (i + 0.5) * 2.0 * osg::PI / sides;
            return osg::Vec3d(r * std::cos(angle), r * std::sin(angle), z) * m;
        };
        const osg::Vec3d bottom = osg::Vec3d(0.0, 0.0, z0) * m, top = osg::Vec3d(0.0, 0.0, z1) * m;
        for (int i = 0; i < sides; ++i)
        {
            const osg::Vec3d a0 = corner(i, r0, z0), b0 = corner(i + 1, r0, z0);
            const osg::Vec3d a1 = corner(i, r1, z1), b1 = corner(i + 1, r1, z1);
            triangle(a0, b0, b1);
            triangle(a0, b1, a1);
            triangle(bottom, b0, a0);
            triangle(top, a1, b1);
        }
    }

    osg::ref_ptr<osg::Geode> finish(const osg::Vec4& colour, const std::string& name)
    {
        osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
        geometry->setVertexArray(vertices.get());
        geometry->setNormalArray(normals.get(), osg::Array::BIND_PER_VERTEX);
        osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
        colours->push_back(colour);
        geometry->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
        geometry->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices->size())));
        osg::ref_ptr<osg::Material> material = new osg::Material;
        material->setColorMode(osg::Material::AMBIENT_AND_DIFFUSE);
        geometry->getOrCreateStateSet()->setAttribute(material.get());
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->setName(name);
        geode->addDrawable(geometry.get());
        return geode;
    }

private:
    osg::ref_ptr<osg::Vec3Array> vertices;
    osg::ref_ptr<osg::Vec3Array> normals;
};

const osg::Vec4 wood(0.40f, 0.28f, 0.17f, 1.0f);
} // namespace

osg::ref_ptr<osg::Geode> makeBlock(const std::string& name)
{
    Mesh mesh;
    if (name == "Mast")
    {
        // A sawn pole tapering from 0.44 m to 0.30 m across.
        mesh.frustum(osg::Matrixd(), 4, 0.22 * std::sqrt(2.0), 0.15 * std::sqrt(2.0), 0.0, mastHeight);
        return mesh.finish(wood, name);
    }
    if (name == "CrossArm")
    {
        // A beam along X, with a knee brace down to each mast.
        mesh.frustum(osg::Matrixd::rotate(osg::PI_2, osg::Y_AXIS), 4, 0.2, 0.2, -armHalfLength, armHalfLength);
        for (double side : {-1.0, 1.0})
        {
            const osg::Vec3d from(side * mastSpacing / 2.0, 0.0, -2.6), to(side * 1.2, 0.0, 0.0);
            osg::Vec3d along = to - from;
            const double length = along.normalize();
            osg::Matrixd m = osg::Matrixd::rotate(osg::Vec3d(0.0, 0.0, 1.0), along) * osg::Matrixd::translate(from);
            mesh.frustum(m, 4, 0.1, 0.1, 0.0, length);
        }
        return mesh.finish(wood, name);
    }
    if (name == "Insulator")
    {
        // Glass discs on a rod, hanging from the cross-arm; the conductor clamp at the bottom.
        mesh.frustum(osg::Matrixd(), 8, 0.025, 0.025, -insulatorLength, 0.0);
        for (int disc = 0; disc < 9; ++disc)
        {
            const double z = -0.2 - disc * 0.17;
            mesh.frustum(osg::Matrixd(), 16, 0.13, 0.04, z - 0.05, z);
        }
        mesh.frustum(osg::Matrixd(), 8, 0.05, 0.05, -insulatorLength, -insulatorLength + 0.12);
        return mesh.finish(osg::Vec4(0.30f, 0.55f, 0.50f, 1.0f), name);
    }
    if (name == "Stay")
    {
        mesh.frustum(osg::Matrixd(), 6, 0.03, 0.03, -1.0, 0.0);
        return mesh.finish(osg::Vec4(0.50f, 0.50f, 0.53f, 1.0f), name);
    }
    throw std::invalid_argument("no building block " + name);
}

} // namespace demo
