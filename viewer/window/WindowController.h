#pragma once

#include "viewer/window/WindowSettings.h"

#include <osg/Camera>
#include <osgGA/GUIEventHandler>
#include <osgViewer/GraphicsWindow>

#include <string>

namespace osgTAVRI
{

// Owns the program's one window: creates it from the configured settings, keeps the master
// camera's projection in step with its size, toggles full screen on F11 and reports its
// current settings back for the configuration file.
class WindowController : public osgGA::GUIEventHandler
{
public:
    WindowController() = default;
    explicit WindowController(osg::Camera* camera);
    WindowController(const WindowController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, WindowController);

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // Returns the window's graphics context, null when none could be created. A quad-buffer
    // stereo window switches the toolkit's display settings to stereo.
    osg::GraphicsContext* createWindow(const WindowSettings& settings);
    // From now on createWindow makes an off-screen pixel buffer of this size instead of a
    // window (videos are rendered so); the other settings still apply.
    void setOffscreenSize(int width, int height);
    // The window's settings as they are now; the recorded ones when there is no window. In
    // full screen the rectangle is the one that F11 returns to.
    WindowSettings getWindowSettings() const;
    void toggleFullscreen(osgViewer::GraphicsWindow* window);
    void resize(int width, int height);

    // "TAVRIview <version>", the title of a window the configuration does not name.
    static std::string defaultTitle();
    // The window when the configuration names none: 1024 x 768, centred on the first screen.
    static WindowSettings defaultSettings();

protected:
    ~WindowController() override = default;

    // The window while it is open, else null.
    osgViewer::GraphicsWindow* openWindow() const;
    // The window's settings, given the size of its screen.
    WindowSettings settingsOf(osgViewer::GraphicsWindow& window, unsigned int onScreenWidth,
                              unsigned int onScreenHeight) const;
    void rememberLastState();

    osg::ref_ptr<osg::Camera> camera;
    float fieldOfView = 60.0f;
    // The configured settings, then the rectangle before going full screen, and the last
    // state when the window is closed.
    WindowSettings recorded;
    // The window's state at its last resize or move, for when it is already gone.
    WindowSettings lastSeen;
    bool lastSeenValid = false;
    // The size of the window's screen, asked when the window is created and again on F11.
    unsigned int screenWidth = 0;
    unsigned int screenHeight = 0;
    int offscreenWidth = 0;
    int offscreenHeight = 0;
};

} // namespace osgTAVRI
