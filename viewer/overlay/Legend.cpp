#include "viewer/overlay/Legend.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/Notify>

namespace osgTAVRI
{

SizedNode<osg::Geode> Legend::makeLegendNode()
{
    osg::ref_ptr<osg::Image> image = OverlayResources::readImage("Legend.png");
    if (!image)
    {
        OSG_INFO << "No legend image found" << std::endl;
        return {};
    }
    return {OverlayResources::makeImageNode(image.get()), image->s(), image->t()};
}

} // namespace osgTAVRI
