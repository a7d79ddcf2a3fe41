#include "viewer/overlay/Legend.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/Notify>

namespace osgTAVRI
{

osg::Geode* Legend::makeLegendNode(int& legendWidth, int& legendHeight)
{
    osg::ref_ptr<osg::Image> image = OverlayResources::readImage("Legend.png");
    if (!image)
    {
        OSG_INFO << "No legend image found" << std::endl;
        return nullptr;
    }
    legendWidth = image->s();
    legendHeight = image->t();
    return OverlayResources::makeImageNode(image.get());
}

} // namespace osgTAVRI
