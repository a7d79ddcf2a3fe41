#include "viewer/environment/MoveEarthySkyWithEyePointTransform.h"

#include <osgUtil/CullVisitor>

namespace osgTAVRI
{

MoveEarthySkyWithEyePointTransform::MoveEarthySkyWithEyePointTransform(const MoveEarthySkyWithEyePointTransform& other,
                                                                       const osg::CopyOp& copyop)
    : osg::Transform(other, copyop)
{
}

bool MoveEarthySkyWithEyePointTransform::computeLocalToWorldMatrix(osg::Matrix& matrix, osg::NodeVisitor* nv) const
{
    if (osgUtil::CullVisitor* cv = nv ? nv->asCullVisitor() : nullptr)
        matrix.preMult(osg::Matrix::translate(cv->getEyeLocal()));
    return true;
}

bool MoveEarthySkyWithEyePointTransform::computeWorldToLocalMatrix(osg::Matrix& matrix, osg::NodeVisitor* nv) const
{
    if (osgUtil::CullVisitor* cv = nv ? nv->asCullVisitor() : nullptr)
        matrix.postMult(osg::Matrix::translate(-cv->getEyeLocal()));
    return true;
}

} // namespace osgTAVRI
