#include "viewer/platform/WindowFactory.h"

#include "viewer/platform/GraphicsWindowXdnd.h"

#include <X11/Xlib.h>

namespace osgTAVRI
{

void prepareWindowSystem() { XInitThreads(); }

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
