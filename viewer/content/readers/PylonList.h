#pragma once

#include "viewer/content/readers/ProblemLog.h"

#include <osg/Vec3d>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace osgTAVRI
{

// One line of the pylon coordinate list. The first record of a pylon places it in the world;
// each further record of the same number adds a block in the pylon's block frame, turned by
// the three angles or, when `target` is not zero, stretched from `position` to `target`.
struct PylonRecord
{
    int number = 0;
    std::string label; // the pylon number as written
    std::string block; // building block name, without folder and ".ive"
    osg::Vec3d position;
    double rz = 0.0, rx = 0.0, ry = 0.0; // gon about Z, X and Y
    osg::Vec3d offset;                   // block frame, on a pylon's first record
    osg::Vec3d target;                   // end of a stretched block, on further records
    std::size_t line = 0;                // where the record began in its file
};

// The pylon coordinate list: fourteen comma-separated fields a line, number, block, X, Y, Z,
// rotation about Z, X and Y in gon, block frame offset X, Y, Z, target X, Y, Z.
namespace PylonList
{
constexpr unsigned int fieldCount = 14;

// Records that cannot be used are left out, each with a problem in `problems`. When that is
// the first record of a pylon, the pylon's further records go with it, and the problem goes to
// `skippedPylons` when given, so that a lost pylon gets a line of its own.
std::vector<PylonRecord> read(std::istream& in, ProblemLog& problems, ProblemLog* skippedPylons = nullptr);
void write(std::ostream& out, const std::vector<PylonRecord>& records);
} // namespace PylonList

} // namespace osgTAVRI
