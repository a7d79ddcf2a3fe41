#pragma once

#include <osg/GraphicsContext>

namespace osgTAVRI
{

// Makes the window system safe for the viewer's threads (on X11, XInitThreads): the draw thread
// and the event thread both use the window's connection. Call before any other window call.
void prepareWindowSystem();

// Creates the viewer's graphics window. On X11 this is the toolkit's window extended with
// what stock OpenSceneGraph lacks (files dropped onto the window).
osg::GraphicsContext* createPlatformWindow(osg::GraphicsContext::Traits* traits);

} // namespace osgTAVRI
