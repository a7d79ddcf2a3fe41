#pragma once

#include <osg/Transform>

namespace osgTAVRI
{

// Centres the sky on the eye in every cull traversal, so that it never comes closer however
// far the viewer moves. Other traversals see it untransformed.
class MoveEarthySkyWithEyePointTransform : public osg::Transform
{
public:
    MoveEarthySkyWithEyePointTransform() = default;
    MoveEarthySkyWithEyePointTransform(const MoveEarthySkyWithEyePointTransform& other,
                                       const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Node(osgTAVRI, MoveEarthySkyWithEyePointTransform);

    bool computeLocalToWorldMatrix(osg::Matrix& matrix, osg::NodeVisitor* nv) const override;
    bool computeWorldToLocalMatrix(osg::Matrix& matrix, osg::NodeVisitor* nv) const override;

protected:
    ~MoveEarthySkyWithEyePointTransform() override = default;
};

} // namespace osgTAVRI
