#include "viewer/content/WireFile.h"

#include "viewer/content/FieldReader.h"

namespace osgTAVRI
{

std::vector<osg::Vec3d> WireFile::read(std::istream& in, ProblemLog& problems)
{
    std::vector<osg::Vec3d> points;
    FieldReader reader(in, fieldCount);
    std::vector<std::string> fields;
    for (FieldReader::Result result; (result = reader.next(fields)) != FieldReader::END;)
    {
        double y = 0.0, x = 0.0, z = 0.0;
        if (result == FieldReader::BROKEN)
            problems.add(reader.line(), reader.problem() + ", point skipped");
        else if (!FieldReader::toReal(fields[0], y) || !FieldReader::toReal(fields[1], x) ||
                 !FieldReader::toReal(fields[2], z))
            problems.add(reader.line(), "a number out of range, point skipped");
        else
            points.emplace_back(x, y, z);
    }
    return points;
}

void WireFile::write(std::ostream& out, const std::vector<osg::Vec3d>& points)
{
    for (const osg::Vec3d& p : points)
        out << FieldReader::formatReal(p.y()) << ',' << FieldReader::formatReal(p.x()) << ','
            << FieldReader::formatReal(p.z()) << '\n';
}

} // namespace osgTAVRI
