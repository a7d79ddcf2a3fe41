#include "viewer/environment/SeaUpdateCallback.h"

#include <osg/FrameStamp>
#include <osg/NodeVisitor>

#include "Sea/Ocean.h"

namespace osgTAVRI
{

SeaUpdateCallback::SeaUpdateCallback(Sea::Ocean* seaOcean) : ocean(seaOcean) {}

SeaUpdateCallback::SeaUpdateCallback(const SeaUpdateCallback& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osg::Drawable::UpdateCallback(other, copyop),
      ocean(other.ocean)
{
}

void SeaUpdateCallback::update(osg::NodeVisitor* nv, osg::Drawable*)
{
    if (ocean && nv && nv->getFrameStamp())
        ocean->Advance(nv->getFrameStamp()->getSimulationTime());
}

} // namespace osgTAVRI
