#include "viewer/platform/X11WindowState.h"

#include "viewer/platform/X11Property.h"

#include <osgViewer/api/X11/GraphicsWindowX11>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace osgTAVRI
{

namespace
{
osgViewer::GraphicsWindowX11* nativeWindow(osg::GraphicsContext* context)
{
    osgViewer::GraphicsWindowX11* window = dynamic_cast<osgViewer::GraphicsWindowX11*>(context);
    if (!window || !window->getDisplayToUse() || window->getWindow() == 0)
        return nullptr;
    return window;
}

bool isMapped(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    return attributes.map_state != IsUnmapped;
}
} // namespace

bool X11WindowState::isNativeWindow(osg::GraphicsContext* context) { return nativeWindow(context) != nullptr; }

bool X11WindowState::showMaximized(osg::GraphicsContext* context)
{
    osgViewer::GraphicsWindowX11* window = nativeWindow(context);
    if (!window)
        return false;
    Display* display = window->getDisplayToUse();
    Window xwindow = window->getWindow();
    Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    Atom vertical = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    Atom horizontal = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);

    if (!isMapped(display, xwindow))
    {
        Atom atoms[2] = {vertical, horizontal};
        XChangeProperty(display, xwindow, state, XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<unsigned char*>(atoms), 2);
    }
    else
    {
        // A mapped window's state belongs to the window manager: ask it through the root window.
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.serial = 0;
        event.xclient.send_event = True;
        event.xclient.display = display;
        event.xclient.window = xwindow;
        event.xclient.message_type = state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
        event.xclient.data.l[1] = static_cast<long>(vertical);
        event.xclient.data.l[2] = static_cast<long>(horizontal);
        event.xclient.data.l[3] = 1; // source: a normal application
        XWindowAttributes attributes;
        Window root = XGetWindowAttributes(display, xwindow, &attributes) ? attributes.root
                                                                          : DefaultRootWindow(display);
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    XFlush(display);
    return true;
}

bool X11WindowState::isMaximized(osg::GraphicsContext* context)
{
    osgViewer::GraphicsWindowX11* window = nativeWindow(context);
    if (!window)
        return false;
    Display* display = window->getDisplayToUse();
    Atom state = XInternAtom(display, "_NET_WM_STATE", True);
    if (state == None)
        return false;
    Atom vertical = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    Atom horizontal = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);

    const X11Property states(display, window->getWindow(), state, 1024, false, XA_ATOM);
    const Atom* atoms = reinterpret_cast<const Atom*>(states.data(32));
    bool hasVertical = false, hasHorizontal = false;
    if (atoms && states.type() == XA_ATOM)
    {
        for (unsigned long i = 0; i < states.count(); ++i)
        {
            hasVertical = hasVertical || atoms[i] == vertical;
            hasHorizontal = hasHorizontal || atoms[i] == horizontal;
        }
    }
    return hasVertical && hasHorizontal;
}

bool X11WindowState::getFrameRectangle(osg::GraphicsContext* context, int& x, int& y, int& width, int& height)
{
    osgViewer::GraphicsWindowX11* window = nativeWindow(context);
    if (!window)
        return false;
    Display* display = window->getDisplayToUse();
    Window xwindow = window->getWindow();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, xwindow, &attributes))
        return false;
    int rootX = 0, rootY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, xwindow, attributes.root, 0, 0, &rootX, &rootY, &child))
        return false;

    long left = 0, top = 0;
    Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    if (extents != None)
    {
        const X11Property frame(display, xwindow, extents, 4, false, XA_CARDINAL);
        const long* values = reinterpret_cast<const long*>(frame.data(32));
        if (values && frame.type() == XA_CARDINAL && frame.count() == 4)
        {
            left = values[0];
            top = values[2];
        }
    }
    x = rootX - static_cast<int>(left);
    y = rootY - static_cast<int>(top);
    width = attributes.width;
    height = attributes.height;
    return true;
}

} // namespace osgTAVRI
