#include "viewer/window/WindowController.h"

#include "viewer/platform/WindowFactory.h"
#include "viewer/platform/X11WindowState.h"
#include "common/Version.h"

#include <osg/DisplaySettings>
#include <osg/Notify>
#include <osgViewer/View>
#include <osgViewer/ViewerBase>

#include <algorithm>

namespace osgTAVRI
{

namespace
{
const char* const noInterfaceNotice = "Error, no WindowSystemInterface available, cannot toggle window fullscreen.";
const int defaultWidth = 1024;
const int defaultHeight = 768;

// The screen on the display named by DISPLAY, so that X11 finds the server we run on.
osg::GraphicsContext::ScreenIdentifier screenIdentifier(unsigned int screenNum)
{
    osg::GraphicsContext::ScreenIdentifier si;
    si.readDISPLAY();
    si.setUndefinedScreenDetailsToDefaultScreen();
    si.screenNum = static_cast<int>(screenNum);
    return si;
}

// Asks the window system for the size of the window's screen. On X11 every question opens a
// new connection to the server, so the controller asks only when the answer can have changed.
bool askScreenSize(const osgViewer::GraphicsWindow& window, unsigned int recordedScreen, unsigned int& width,
                   unsigned int& height)
{
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (!wsi)
        return false;
    if (window.getTraits())
        wsi->getScreenResolution(*window.getTraits(), width, height);
    else
        wsi->getScreenResolution(screenIdentifier(recordedScreen), width, height);
    return true;
}

// The toolkit's X11 window keeps a position in its traits that drifts from the real one
// (without a window manager it counts the offset twice), so native windows are asked directly.
void windowRectangle(osgViewer::GraphicsWindow* window, int& x, int& y, int& width, int& height)
{
    if (!X11WindowState::getFrameRectangle(window, x, y, width, height))
        window->getWindowRectangle(x, y, width, height);
}
} // namespace

WindowController::WindowController(osg::Camera* masterCamera) : camera(masterCamera) {}

WindowController::WindowController(const WindowController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      camera(other.camera), fieldOfView(other.fieldOfView), recorded(other.recorded), lastSeen(other.lastSeen),
      lastSeenValid(other.lastSeenValid), screenWidth(other.screenWidth), screenHeight(other.screenHeight)
{
}

std::string WindowController::defaultTitle()
{
    return std::string("TAVRIview ") + programVersion;
}

WindowSettings WindowController::defaultSettings()
{
    WindowSettings settings;
    settings.title = defaultTitle();
    settings.width = defaultWidth;
    settings.height = defaultHeight;
    settings.numSamples = 4;
    // Centred; on a screen smaller than the window its top left corner stays visible. Without
    // a windowing-system interface createWindow says so.
    if (osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface())
    {
        unsigned int width = 0, height = 0;
        wsi->getScreenResolution(screenIdentifier(0), width, height);
        settings.x = std::max(0, (static_cast<int>(width) - settings.width) / 2);
        settings.y = std::max(0, (static_cast<int>(height) - settings.height) / 2);
    }
    return settings;
}

osg::GraphicsContext* WindowController::createWindow(const WindowSettings& requested)
{
    WindowSettings settings = requested;
    screenWidth = 800;
    screenHeight = 600;
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (wsi)
    {
        unsigned int numScreens = wsi->getNumScreens(screenIdentifier(0));
        if (numScreens > 0 && settings.screenNum >= numScreens)
        {
            OSG_WARN << "Screen " << settings.screenNum << " does not exist, using screen 0" << std::endl;
            settings.screenNum = 0;
        }
        wsi->getScreenResolution(screenIdentifier(settings.screenNum), screenWidth, screenHeight);
    }
    else
        OSG_WARN << "Unable to get WindowingSystemInterface" << std::endl;

    // A window of no size, or one far larger than its screen, cannot be opened (or eats the
    // machine's memory); such sizes come only from broken files.
    const int maxWidth = 4 * static_cast<int>(screenWidth > 0 ? screenWidth : 800);
    const int maxHeight = 4 * static_cast<int>(screenHeight > 0 ? screenHeight : 600);
    if (settings.width < 1 || settings.height < 1 || settings.width > maxWidth || settings.height > maxHeight)
    {
        OSG_WARN << "Window size " << settings.width << " x " << settings.height << " is not usable, using "
                 << defaultWidth << " x " << defaultHeight << std::endl;
        settings.width = defaultWidth;
        settings.height = defaultHeight;
    }
    if (settings.x < -maxWidth || settings.x > maxWidth || settings.y < -maxHeight || settings.y > maxHeight)
    {
        OSG_WARN << "Window position " << settings.x << ", " << settings.y << " is far off the screen, using 0, 0"
                 << std::endl;
        settings.x = 0;
        settings.y = 0;
    }

    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    traits->screenNum = static_cast<int>(settings.screenNum);
    traits->x = settings.fullscreen ? 0 : settings.x;
    traits->y = settings.fullscreen ? 0 : settings.y;
    traits->width = settings.fullscreen ? static_cast<int>(screenWidth) : settings.width;
    traits->height = settings.fullscreen ? static_cast<int>(screenHeight) : settings.height;
    traits->windowDecoration = !settings.fullscreen;
    traits->doubleBuffer = true;
    traits->windowName = settings.title;
    traits->samples = settings.numSamples;
    traits->quadBufferStereo = settings.stereo;
    traits->sharedContext = nullptr;

    // The configured rectangle is kept also for a full-screen start, so that F11 returns to it.
    recorded = settings;
    if (offscreenWidth > 0 && offscreenHeight > 0)
    {
        traits->pbuffer = true;
        traits->x = traits->y = 0;
        traits->width = offscreenWidth;
        traits->height = offscreenHeight;
        traits->windowDecoration = false;
    }

    const auto create = [&traits]() -> osg::ref_ptr<osg::GraphicsContext> {
        if (traits->pbuffer)
            return osg::GraphicsContext::createGraphicsContext(traits.get());
        return createPlatformWindow(traits.get());
    };
    osg::ref_ptr<osg::GraphicsContext> context = create();
    if (!context && settings.numSamples > 0)
    {
        // Many displays offer no multisampled visual; a plain window is better than none.
        OSG_WARN << "No window with " << settings.numSamples << " samples available, trying without multisampling"
                 << std::endl;
        traits->samples = 0;
        context = create();
    }
    if (!context && settings.stereo)
    {
        OSG_WARN << "No quad-buffer stereo window available, opening a mono window" << std::endl;
        traits->quadBufferStereo = false;
        context = create();
    }
    if (!context)
        OSG_FATAL << "Could not create graphics context" << std::endl;

    camera->setGraphicsContext(context.get());
    camera->setViewport(0, 0, traits->width, traits->height);
    // Until the first resize event the projection must already match the window.
    resize(traits->width, traits->height);

    if (settings.maximized && X11WindowState::isNativeWindow(context.get()))
        X11WindowState::showMaximized(context.get());
    // Stereo drawing into a window without left and right buffers draws nothing.
    if (context && traits->quadBufferStereo)
    {
        osg::DisplaySettings* display = osg::DisplaySettings::instance().get();
        display->setStereo(true);
        display->setStereoMode(osg::DisplaySettings::QUAD_BUFFER);
        display->setEyeSeparation(0.05f);
        display->setScreenDistance(0.5f);
    }
    return context.get();
}

void WindowController::setOffscreenSize(int width, int height)
{
    offscreenWidth = width;
    offscreenHeight = height;
}

WindowSettings WindowController::getWindowSettings() const
{
    osgViewer::GraphicsWindow* window = openWindow();
    // A closed window has nothing left to ask; what was recorded at its close stands.
    if (!window)
        return recorded;
    // Asked again: the display may have been reconfigured since the last F11.
    unsigned int width = 0, height = 0;
    if (!askScreenSize(*window, recorded.screenNum, width, height))
    {
        OSG_NOTICE << noInterfaceNotice << std::endl;
        return recorded;
    }
    return settingsOf(*window, width, height);
}

WindowSettings WindowController::settingsOf(osgViewer::GraphicsWindow& window, unsigned int onScreenWidth,
                                            unsigned int onScreenHeight) const
{
    WindowSettings current;
    current.title = window.getWindowName();
    windowRectangle(&window, current.x, current.y, current.width, current.height);
    current.fullscreen = current.x == 0 && current.y == 0 && current.width == static_cast<int>(onScreenWidth) &&
                         current.height == static_cast<int>(onScreenHeight);
    if (current.fullscreen)
    {
        // The screen's rectangle says nothing worth keeping; the one F11 returns to does.
        current.x = recorded.x;
        current.y = recorded.y;
        current.width = recorded.width;
        current.height = recorded.height;
    }
    current.maximized = X11WindowState::isNativeWindow(&window) && X11WindowState::isMaximized(&window);
    current.numSamples = window.getTraits() ? window.getTraits()->samples : 0;
    current.screenNum = recorded.screenNum;
    current.stereo = window.getTraits() && window.getTraits()->quadBufferStereo;
    return current;
}

void WindowController::toggleFullscreen(osgViewer::GraphicsWindow* window)
{
    // Asked again, and kept for the resizes that follow.
    if (!askScreenSize(*window, recorded.screenNum, screenWidth, screenHeight))
    {
        OSG_NOTICE << noInterfaceNotice << std::endl;
        return;
    }
    int x = 0, y = 0, width = 0, height = 0;
    windowRectangle(window, x, y, width, height);

    if (x == 0 && y == 0 && width == static_cast<int>(screenWidth) && height == static_cast<int>(screenHeight))
    {
        window->setWindowDecoration(true);
        window->setWindowRectangle(recorded.x, recorded.y, recorded.width, recorded.height);
    }
    else
    {
        recorded.x = x;
        recorded.y = y;
        recorded.width = width;
        recorded.height = height;
        window->setWindowDecoration(false);
        window->setWindowRectangle(0, 0, static_cast<int>(screenWidth), static_cast<int>(screenHeight));
        if (recorded.maximized && X11WindowState::isNativeWindow(window))
            X11WindowState::showMaximized(window);
    }
    window->grabFocusIfPointerInWindow();
}

void WindowController::resize(int width, int height)
{
    // A minimised window reports no area; its last projection stays valid for when it returns.
    if (width <= 0 || height <= 0)
        return;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    camera->setViewport(0, 0, width, height);
    camera->setProjectionMatrixAsPerspective(fieldOfView / aspect, aspect, 1.0, 100000.0);
}

osgViewer::GraphicsWindow* WindowController::openWindow() const
{
    osgViewer::GraphicsWindow* window = dynamic_cast<osgViewer::GraphicsWindow*>(camera->getGraphicsContext());
    return window && window->valid() ? window : nullptr;
}

void WindowController::rememberLastState()
{
    // With the screen's size as last asked: it changes only when the display is reconfigured,
    // and a window being dragged sends resize events in a stream.
    if (osgViewer::GraphicsWindow* window = openWindow())
    {
        lastSeen = settingsOf(*window, screenWidth, screenHeight);
        lastSeenValid = true;
    }
}

bool WindowController::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa)
{
    osgViewer::View* view = dynamic_cast<osgViewer::View*>(&aa);
    if (!view || !view->getViewerBase() || ea.getHandled())
        return false;

    switch (ea.getEventType())
    {
    case osgGA::GUIEventAdapter::KEYDOWN:
        if (ea.getKey() != osgGA::GUIEventAdapter::KEY_F11)
            return false;
        {
            osgViewer::ViewerBase::Windows windows;
            view->getViewerBase()->getWindows(windows, true);
            for (osgViewer::GraphicsWindow* window : windows)
                toggleFullscreen(window);
            rememberLastState();
            aa.requestRedraw();
        }
        return true;
    case osgGA::GUIEventAdapter::RESIZE:
        resize(ea.getWindowWidth(), ea.getWindowHeight());
        rememberLastState();
        return false;
    case osgGA::GUIEventAdapter::CLOSE_WINDOW:
        // The toolkit closes the window before its handlers hear of it; then the state seen
        // at its last move or resize is the last state.
        if (openWindow())
            recorded = getWindowSettings();
        else if (lastSeenValid)
            recorded = lastSeen;
        return false;
    default:
        return false;
    }
}

} // namespace osgTAVRI
