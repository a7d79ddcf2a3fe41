#pragma once

#include "viewer/platform/XdndTarget.h"

#include <osgViewer/api/X11/GraphicsWindowX11>

#include <memory>
#include <mutex>
#include <vector>

namespace osgTAVRI
{

// The toolkit's X11 window, made a drop target: files dropped onto it arrive as one
// files-dropped event (see DropFiles.h) in its event queue.
class GraphicsWindowXdnd : public osgViewer::GraphicsWindowX11
{
public:
    explicit GraphicsWindowXdnd(osg::GraphicsContext::Traits* traits);

    // The toolkit's window classes declare their identity by hand: they cannot be cloned.
    bool isSameKindAs(const osg::Object* object) const override
    {
        return dynamic_cast<const GraphicsWindowXdnd*>(object) != nullptr;
    }
    const char* libraryName() const override { return "osgTAVRI"; }
    const char* className() const override { return "GraphicsWindowXdnd"; }

    bool checkEvents() override;
    void swapBuffersImplementation() override;

protected:
    ~GraphicsWindowXdnd() override;

    // Takes every event queued on _display (the connection that created the window, which
    // receives messages sent without an event mask). Runs on the draw or the event thread.
    void drainCreatorConnection();

    std::unique_ptr<XdndTarget> xdnd;
    std::mutex pendingMutex; // held across a whole drain of _display and while taking `pending`
    std::vector<XEvent> pending; // protocol events waiting for the event thread
};

} // namespace osgTAVRI
