#include "viewer/platform/WindowFactory.h"

#include "viewer/platform/GraphicsWindowXdnd.h"

namespace osgTAVRI
{

osg::GraphicsContext* createPlatformWindow(osg::GraphicsContext::Traits* traits)
{
    if (!traits || traits->pbuffer || traits->inheritedWindowData.valid())
        return osg::GraphicsContext::createGraphicsContext(traits);
    osg::ref_ptr<GraphicsWindowXdnd> window = new GraphicsWindowXdnd(traits);
    if (!window->valid())
        return nullptr;
    return window.release();
}

} // namespace osgTAVRI
