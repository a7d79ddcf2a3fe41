#pragma once

#include "viewer/content/readers/ProblemLog.h"

#include <osg/Vec3d>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace osgTAVRI
{

// One information point: its text, a size step, and where it stands. Northing and height
// are whole metres.
struct LabelRecord
{
    std::string text;
    int size = 0;
    double x = 0.0;
    int y = 0;
    int z = 0;
    std::size_t line = 0;

    float characterSize() const { return static_cast<float>(size * 3.0); }
    // The text stands above its point by four metres a size step.
    osg::Vec3d position() const { return osg::Vec3d(x, y, z + size * 4.0); }
};

// An information-point file: text, size step, X, Y, Z, one label a line. The text cannot
// hold a comma.
namespace LabelFile
{
constexpr unsigned int fieldCount = 5;

std::vector<LabelRecord> read(std::istream& in, ProblemLog& problems);
void write(std::ostream& out, const std::vector<LabelRecord>& labels);
} // namespace LabelFile

} // namespace osgTAVRI
