#pragma once

#include "viewer/content/readers/ProblemLog.h"

#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/Vec3d>

#include <string>
#include <vector>

namespace osgTAVRI
{

// Draws the conductors as thin tubes along their measured points, one geometry a wire file:
//
//   transform: translation to the middle of all wires
//     geode "Conductors"
//       one geometry a file of the folder whose name holds "Lft", in listing order
//
// The vertices are single precision relative to the middle of the wires, so the tube keeps its
// two-centimetre shape at national grid coordinates; the translation stays in double precision.
class ConductorBuilder
{
public:
    static constexpr float radius = 0.0175f;

    // `folder` ends with a separator; `offset` is subtracted from every point.
    static osg::ref_ptr<osg::MatrixTransform> build(const std::string& folder, const osg::Vec3d& offset);

    // Three triangle strips, one a side of a tube whose cross-section at every point is a
    // triangle of circumradius `radius` with one corner pointing down. Leading points that
    // coincide with the next one are dropped; fewer than two distinct points give no tube.
    // Each problem goes to `problems`.
    static osg::ref_ptr<osg::Geometry> createTube(const std::vector<osg::Vec3d>& points, const osg::Vec3d& origin,
                                                  ProblemLog& problems);
};

} // namespace osgTAVRI
