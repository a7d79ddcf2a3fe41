#include "viewer/content/readers/WireFile.h"

#include "viewer/content/readers/FieldReader.h"

namespace osgTAVRI
{

std::vector<osg::Vec3d> WireFile::read(std::istream& in, ProblemLog& problems)
{
    std::vector<osg::Vec3d> points;
    using Fields = std::vector<std::string>;
    FieldReader::readAll(in, fieldCount, problems, "point", [&](const Fields& fields, std::size_t line) {
        double y = 0.0, x = 0.0, z = 0.0;
        if (FieldReader::toReal(fields[0], y) && FieldReader::toReal(fields[1], x) &&
            FieldReader::toReal(fields[2], z))
            points.emplace_back(x, y, z);
        else
            problems.add(line, "a number out of range, point skipped");
    });
    return points;
}

void WireFile::write(std::ostream& out, const std::vector<osg::Vec3d>& points)
{
    for (const osg::Vec3d& p : points)
        out << FieldReader::formatReal(p.y()) << ',' << FieldReader::formatReal(p.x()) << ','
            << FieldReader::formatReal(p.z()) << '\n';
}

} // namespace osgTAVRI
