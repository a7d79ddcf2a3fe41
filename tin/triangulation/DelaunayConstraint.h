#pragma once

#include <osg/Geometry>

namespace osgTAVRI
{

// A constraint polyline for the triangulator: an osg::Vec3dArray of points with
// GL_LINE_LOOP or GL_LINE_STRIP primitive sets over them. Only X and Y matter.
class DelaunayConstraint : public osg::Geometry
{
public:
    DelaunayConstraint() = default;
    DelaunayConstraint(const DelaunayConstraint& other,
                       const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY)
        : osg::Geometry(other, copyop)
    {
    }

    META_Object(osgTAVRI, DelaunayConstraint)

protected:
    ~DelaunayConstraint() override = default;
};

} // namespace osgTAVRI
