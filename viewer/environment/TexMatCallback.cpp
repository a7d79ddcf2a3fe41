#include "viewer/environment/TexMatCallback.h"

#include <osg/Quat>
#include <osgUtil/CullVisitor>

namespace osgTAVRI
{

TexMatCallback::TexMatCallback(osg::TexMat& matrix) : texMat(&matrix) {}

TexMatCallback::TexMatCallback(const TexMatCallback& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osg::NodeCallback(other, copyop),
      texMat(other.texMat)
{
}

const osg::Matrixd& TexMatCallback::correction()
{
    static const osg::Matrixd matrix = osg::Matrixd::rotate(osg::PI_2f, 1.0, 0.0, 0.0);
    return matrix;
}

void TexMatCallback::operator()(osg::Node* node, osg::NodeVisitor* nv)
{
    osgUtil::CullVisitor* cv = nv ? nv->asCullVisitor() : nullptr;
    if (cv && texMat)
    {
        osg::Quat q;
        cv->getModelViewMatrix()->get(q);
        texMat->setMatrix(osg::Matrixd::rotate(q.inverse()) * correction());
    }
    traverse(node, nv);
}

} // namespace osgTAVRI
