#include "viewer/content/builders/ConductorBuilder.h"

#include "viewer/content/readers/FieldReader.h"
#include "viewer/content/readers/WireFile.h"

#include <osg/BoundingBox>
#include <osg/Geode>
#include <osg/Notify>
#include <osgDB/FileUtils>

#include <cmath>
#include <fstream>
#include <memory>

namespace osgTAVRI
{

namespace
{
struct Wire
{
    std::unique_ptr<ProblemLog> problems;
    std::vector<osg::Vec3d> points;
};
} // namespace

osg::ref_ptr<osg::Geometry> ConductorBuilder::createTube(const std::vector<osg::Vec3d>& points,
                                                         const osg::Vec3d& origin, ProblemLog& problems)
{
    // The first point takes its direction from the next one, so it must differ from it.
    std::size_t begin = 0;
    while (begin + 1 < points.size() && points[begin] == points[begin + 1])
        ++begin;
    if (points.size() - begin < 2)
    {
        problems.add("fewer than two distinct points, conductor skipped");
        return nullptr;
    }
    if (begin > 0)
        problems.add(std::to_string(begin) + " leading point(s) equal to the next one skipped");

    const double a = radius * std::cos(osg::PI / 6.0), b = radius * std::sin(osg::PI / 6.0);
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::Vec3d d;
    for (std::size_t i = begin; i < points.size(); ++i)
    {
        const osg::Vec3d& p = points[i];
        osg::Vec3d next = i + 1 < points.size() ? points[i + 1] - p : osg::Vec3d();
        if (next.length2() == 0.0)
            next = p - points[i - 1];
        // Repeated points further on keep the direction that came before them.
        if (next.length2() != 0.0)
            d = next / next.length();
        const osg::Vec3d side(d.y(), -d.x(), 0.0);
        const osg::Vec3d local = p - origin;
        vertices->push_back(osg::Vec3(local - osg::Vec3d(0.0, 0.0, radius)));
        vertices->push_back(osg::Vec3(local + side * a + osg::Vec3d(0.0, 0.0, b)));
        vertices->push_back(osg::Vec3(local - side * a + osg::Vec3d(0.0, 0.0, b)));
    }

    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f));
    geometry->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
    const unsigned int sections = static_cast<unsigned int>(vertices->size() / 3);
    for (unsigned int side = 0; side < 3; ++side)
    {
        osg::ref_ptr<osg::DrawElementsUInt> strip = new osg::DrawElementsUInt(GL_TRIANGLE_STRIP);
        for (unsigned int j = 0; j < sections; ++j)
        {
            strip->push_back(3 * j + side);
            strip->push_back(3 * j + (side + 1) % 3);
        }
        geometry->addPrimitiveSet(strip.get());
    }
    return geometry;
}

osg::ref_ptr<osg::MatrixTransform> ConductorBuilder::build(const std::string& folder, const osg::Vec3d& offset)
{
    std::vector<Wire> wires;
    osg::BoundingBoxd extent;
    for (const std::string& entry : osgDB::getDirectoryContents(folder))
    {
        if (entry.find("Lft") == std::string::npos)
            continue;
        const std::string path = folder + entry;
        std::ifstream in;
        if (!FieldReader::open(path, in))
        {
            OSG_WARN << "Wire coordinate file could not be opened " << path << std::endl;
            continue;
        }
        Wire wire;
        wire.problems.reset(new ProblemLog(path));
        wire.points = WireFile::read(in, *wire.problems);
        for (osg::Vec3d& p : wire.points)
        {
            p -= offset;
            extent.expandBy(p);
        }
        wires.push_back(std::move(wire));
    }

    const osg::Vec3d origin = extent.valid() ? extent.center() : osg::Vec3d();
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("Conductors");
    for (Wire& wire : wires)
        if (osg::ref_ptr<osg::Geometry> tube = createTube(wire.points, origin, *wire.problems))
            geode->addDrawable(tube.get());

    osg::ref_ptr<osg::MatrixTransform> transform = new osg::MatrixTransform(osg::Matrixd::translate(origin));
    // Flattened into the vertices, the translation would cost them their precision.
    transform->setDataVariance(osg::Object::DYNAMIC);
    transform->addChild(geode.get());
    return transform;
}

} // namespace osgTAVRI
