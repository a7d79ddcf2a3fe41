#include "viewer/platform/GraphicsWindowXdnd.h"

#include "viewer/scene/DropFiles.h"

#include <osgGA/EventQueue>

namespace osgTAVRI
{

namespace
{

Bool anyEvent(Display*, XEvent*, XPointer) { return True; }

} // namespace

GraphicsWindowXdnd::GraphicsWindowXdnd(osg::GraphicsContext::Traits* traits) : GraphicsWindowX11(traits)
{
    if (valid() && _display && _window)
    {
        xdnd.reset(new XdndTarget(_display, _window));
        xdnd->makeAware();
    }
}

GraphicsWindowXdnd::~GraphicsWindowXdnd() = default;

void GraphicsWindowXdnd::drainCreatorConnection()
{
    // Drag sources and window managers send to the window's creator, _display; the toolkit's
    // own swap empties that queue and would drop the drag-and-drop messages, so this does it.
    // The draw thread and the event thread both drain, so the whole drain holds the lock: an
    // event taken off the connection is queued before the other thread can take the next one.
    std::lock_guard<std::mutex> lock(pendingMutex);
    XEventsQueued(_display, QueuedAfterReading);
    XEvent event;
    while (XCheckIfEvent(_display, &event, anyEvent, nullptr))
    {
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == _deleteWindow)
            getEventQueue()->closeWindow();
        else if (event.type == ClientMessage || event.type == SelectionNotify)
            pending.push_back(event);
    }
}

void GraphicsWindowXdnd::swapBuffersImplementation()
{
    if (!_realized)
        return;
    glXSwapBuffers(_display, _window);
    drainCreatorConnection();
}

bool GraphicsWindowXdnd::checkEvents()
{
    if (xdnd && _realized)
    {
        drainCreatorConnection();
        std::vector<XEvent> events;
        {
            std::lock_guard<std::mutex> lock(pendingMutex);
            events.swap(pending);
        }
        for (const XEvent& event : events)
            xdnd->handleEvent(event);
        if (xdnd->hasDrop())
        {
            osg::ref_ptr<osgGA::GUIEventAdapter> ea = createDropEvent(xdnd->takeDroppedFiles());
            ea->setTime(getEventQueue()->getTime());
            ea->setGraphicsContext(this);
            getEventQueue()->addEvent(ea.get());
        }
    }
    return GraphicsWindowX11::checkEvents();
}

} // namespace osgTAVRI
