#include "viewer/platform/WindowFactory.h"

namespace osgTAVRI
{

osg::GraphicsContext* createPlatformWindow(osg::GraphicsContext::Traits* traits)
{
    return osg::GraphicsContext::createGraphicsContext(traits);
}

} // namespace osgTAVRI
