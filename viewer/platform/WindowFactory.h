#pragma once

#include <osg/GraphicsContext>

namespace osgTAVRI
{

// Creates the viewer's graphics window. On X11 this is the toolkit's window extended with
// what stock OpenSceneGraph lacks (files dropped onto the window).
osg::GraphicsContext* createPlatformWindow(osg::GraphicsContext::Traits* traits);

} // namespace osgTAVRI
