#pragma once

#include <osg/GraphicsContext>

namespace osgTAVRI
{

// Maximised state of the toolkit's native X11 window, through the EWMH _NET_WM_STATE protocol.
// Any other graphics context is not a native window: both operations then do nothing.
namespace X11WindowState
{
// True when `context` is an osgViewer::GraphicsWindowX11 (or a subclass) with a window.
bool isNativeWindow(osg::GraphicsContext* context);

// Asks the window manager to show the window maximised. Before the window is mapped the
// request is written into the window's own state, which the manager reads when mapping it.
bool showMaximized(osg::GraphicsContext* context);

// True exactly when the window's state holds both maximised atoms (vertical and horizontal).
bool isMaximized(osg::GraphicsContext* context);

// Where the window really is: the top left corner of its frame (the window manager's
// decoration included, as _NET_FRAME_EXTENTS tells) in screen coordinates, and the size
// of its drawable area. False for any other context.
bool getFrameRectangle(osg::GraphicsContext* context, int& x, int& y, int& width, int& height);
} // namespace X11WindowState

} // namespace osgTAVRI
