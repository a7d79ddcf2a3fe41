#pragma once

#include "viewer/content/readers/ProblemLog.h"

#include <osg/Vec3d>

#include <istream>
#include <ostream>
#include <vector>

namespace osgTAVRI
{

// A conductor's measured points, one a line: northing, easting, height. Points are handed
// over as (X, Y, Z), easting first.
namespace WireFile
{
constexpr unsigned int fieldCount = 3;

std::vector<osg::Vec3d> read(std::istream& in, ProblemLog& problems);
void write(std::ostream& out, const std::vector<osg::Vec3d>& points);
} // namespace WireFile

} // namespace osgTAVRI
