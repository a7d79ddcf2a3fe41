#include "viewer/scene/SceneIntersectionVisitor.h"

#include <osg/Camera>
#include <osg/ClearNode>

namespace osgTAVRI
{

SceneIntersectionVisitor::SceneIntersectionVisitor(osgUtil::Intersector* intersector)
    : osgUtil::IntersectionVisitor(intersector)
{
}

void SceneIntersectionVisitor::apply(osg::Camera& camera)
{
    if (insideCamera)
        return;
    insideCamera = true;
    osgUtil::IntersectionVisitor::apply(camera);
    insideCamera = false;
}

void SceneIntersectionVisitor::apply(osg::ClearNode&) {}

} // namespace osgTAVRI
