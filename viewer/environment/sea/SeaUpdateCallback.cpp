#include "viewer/environment/sea/SeaUpdateCallback.h"

#include "viewer/environment/sea/SeaDrawable.h"

#include <osg/FrameStamp>
#include <osg/NodeVisitor>

namespace osgTAVRI
{

SeaUpdateCallback::SeaUpdateCallback(const SeaUpdateCallback& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osg::Drawable::UpdateCallback(other, copyop)
{
}

void SeaUpdateCallback::update(osg::NodeVisitor* nv, osg::Drawable* drawable)
{
    const auto* sea = dynamic_cast<const SeaDrawable*>(drawable);
    if (sea && nv && nv->getFrameStamp())
        sea->advance(nv->getFrameStamp()->getSimulationTime());
}

} // namespace osgTAVRI
