#include "viewer/scene/SceneIntersectionVisitor.h"

#include "viewer/scene/PagedIntersectionCache.h"

#include <osg/Camera>
#include <osg/ClearNode>
#include <osg/PagedLOD>

namespace osgTAVRI
{

SceneIntersectionVisitor::SceneIntersectionVisitor(osgUtil::Intersector* intersector)
    : osgUtil::IntersectionVisitor(intersector, PagedIntersectionCache::instance())
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

void SceneIntersectionVisitor::apply(osg::PagedLOD& lod)
{
    if (!enter(lod))
        return;
    osg::ref_ptr<osg::Node> finest;
    const unsigned files = lod.getNumFileNames();
    if (files > lod.getNumChildren() && getReadCallback() && !lod.getFileName(files - 1).empty())
        finest = getReadCallback()->readNodeFile(lod.getDatabasePath() + lod.getFileName(files - 1));
    if (!finest.valid() && lod.getNumChildren() > 0)
        finest = lod.getChild(lod.getNumChildren() - 1);
    if (finest.valid())
        finest->accept(*this);
    leave();
}

} // namespace osgTAVRI
