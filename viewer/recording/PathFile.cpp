#include "viewer/recording/PathFile.h"

#include "common/AtomicFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace osgTAVRI
{

namespace PathFile
{

namespace
{
// Eight finite numbers separated by blanks and nothing else, as the toolkit's writer puts them.
bool scanLine(const std::string& line, double (&values)[8])
{
    const char* cursor = line.c_str();
    for (double& value : values)
    {
        char* end = nullptr;
        errno = 0;
        value = std::strtod(cursor, &end);
        if (end == cursor || errno == ERANGE || !std::isfinite(value))
            return false;
        cursor = end;
    }
    while (*cursor == ' ' || *cursor == '\t' || *cursor == '\r')
        ++cursor;
    return *cursor == '\0';
}

bool blank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}
} // namespace

osg::ref_ptr<osg::AnimationPath> parse(const std::string& text, const std::string& path, std::string& error)
{
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    flight->setLoopMode(osg::AnimationPath::NO_LOOPING);
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    int previousLine = 0;
    double previousTime = 0.0;
    while (std::getline(lines, line))
    {
        ++number;
        if (blank(line))
            continue;
        std::ostringstream where;
        where << "Path file " << path << ": line " << number << ": ";
        double v[8];
        if (!scanLine(line, v))
        {
            error = where.str() + "not an animation path (expected time, position x y z, rotation x y z w)";
            return nullptr;
        }
        // Beyond any map's coordinates (metres) or any flight's length (seconds) the curve
        // between poses would overflow.
        if (std::fabs(v[0]) > 1e7 || std::fabs(v[1]) > 1e8 || std::fabs(v[2]) > 1e8 || std::fabs(v[3]) > 1e8)
        {
            error = where.str() + "time or position out of range";
            return nullptr;
        }
        osg::Quat rotation(v[4], v[5], v[6], v[7]);
        const double length = rotation.length();
        if (!(length > 1e-6))
        {
            error = where.str() + "the rotation has no length";
            return nullptr;
        }
        if (previousLine > 0 && !(v[0] > previousTime))
        {
            std::ostringstream order;
            order << where.str() << "time " << v[0] << " does not come after " << previousTime << " of line "
                  << previousLine;
            error = order.str();
            return nullptr;
        }
        previousLine = number;
        previousTime = v[0];
        flight->insert(v[0], osg::AnimationPath::ControlPoint(osg::Vec3d(v[1], v[2], v[3]), rotation / length));
    }
    if (flight->empty())
    {
        error = "Path file " + path + ": holds no camera positions";
        return nullptr;
    }
    return flight;
}

osg::ref_ptr<osg::AnimationPath> read(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        error = "Path file " + path + (access(path.c_str(), F_OK) == 0 ? ": cannot be read" : ": not found");
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf(); // an empty file sets only the copy's failure bit
    if (in.bad())
    {
        error = "Path file " + path + ": cannot be read";
        return nullptr;
    }
    return parse(text.str(), path, error);
}

bool write(const osg::AnimationPath& flight, const std::string& path)
{
    std::ostringstream text;
    flight.write(text);
    return AtomicFile::write(path, text.str());
}

} // namespace PathFile

} // namespace osgTAVRI
