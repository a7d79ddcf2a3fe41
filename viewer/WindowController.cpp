#include "viewer/WindowController.h"

#include "viewer/platform/WindowFactory.h"
#include "viewer/platform/X11WindowState.h"

#include <osg/Notify>
#include <osgViewer/View>
#include <osgViewer/ViewerBase>

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
      camera(other.camera), fieldOfView(other.fieldOfView), windowX(other.windowX), windowY(other.windowY),
      windowWidth(other.windowWidth), windowHeight(other.windowHeight), title(other.title),
      fullscreen(other.fullscreen), maximized(other.maximized), screenNum(other.screenNum),
      numSamples(other.numSamples), stereo(other.stereo), lastState(other.lastState)
{
}

bool WindowController::getScreenSize(unsigned int screen, unsigned int& width, unsigned int& height)
{
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (!wsi)
        return false;
    wsi->getScreenResolution(screenIdentifier(screen), width, height);
    return true;
}

void WindowController::createWindow(const std::string& windowTitle, int x, int y, int width, int height,
                                    bool windowMaximized, bool windowFullscreen, unsigned int screen,
                                    unsigned int samples, bool quadBufferStereo)
{
    unsigned int screenWidth = 800, screenHeight = 600;
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (wsi)
    {
        unsigned int numScreens = wsi->getNumScreens(screenIdentifier(0));
        if (numScreens > 0 && screen >= numScreens)
        {
            OSG_WARN << "Screen " << screen << " does not exist, using screen 0" << std::endl;
            screen = 0;
        }
        wsi->getScreenResolution(screenIdentifier(screen), screenWidth, screenHeight);
    }
    else
        OSG_WARN << "Unable to get WindowingSystemInterface" << std::endl;

    // A window of no size, or one far larger than its screen, cannot be opened (or eats the
    // machine's memory); such sizes come only from broken files.
    const int maxWidth = 4 * static_cast<int>(screenWidth > 0 ? screenWidth : 800);
    const int maxHeight = 4 * static_cast<int>(screenHeight > 0 ? screenHeight : 600);
    if (width < 1 || height < 1 || width > maxWidth || height > maxHeight)
    {
        OSG_WARN << "Window size " << width << " x " << height << " is not usable, using " << defaultWidth
                 << " x " << defaultHeight << std::endl;
        width = defaultWidth;
        height = defaultHeight;
    }
    if (x < -maxWidth || x > maxWidth || y < -maxHeight || y > maxHeight)
    {
        OSG_WARN << "Window position " << x << ", " << y << " is far off the screen, using 0, 0" << std::endl;
        x = 0;
        y = 0;
    }

    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    traits->screenNum = static_cast<int>(screen);
    traits->x = windowFullscreen ? 0 : x;
    traits->y = windowFullscreen ? 0 : y;
    traits->width = windowFullscreen ? static_cast<int>(screenWidth) : width;
    traits->height = windowFullscreen ? static_cast<int>(screenHeight) : height;
    traits->windowDecoration = !windowFullscreen;
    traits->doubleBuffer = true;
    traits->windowName = windowTitle;
    traits->samples = samples;
    traits->quadBufferStereo = quadBufferStereo;
    traits->sharedContext = nullptr;

    windowX = x;
    windowY = y;
    windowWidth = width;
    windowHeight = height;
    screenNum = screen;
    stereo = quadBufferStereo;
    title = windowTitle;
    fullscreen = windowFullscreen;
    maximized = windowMaximized;
    numSamples = samples;

    osg::ref_ptr<osg::GraphicsContext> context = createPlatformWindow(traits.get());
    if (!context && samples > 0)
    {
        // Many displays offer no multisampled visual; a plain window is better than none.
        OSG_WARN << "No window with " << samples << " samples available, trying without multisampling"
                 << std::endl;
        traits->samples = 0;
        context = createPlatformWindow(traits.get());
    }
    if (!context && quadBufferStereo)
    {
        OSG_WARN << "No quad-buffer stereo window available, opening a mono window" << std::endl;
        traits->quadBufferStereo = false;
        context = createPlatformWindow(traits.get());
    }
    if (!context)
        OSG_FATAL << "Could not create graphics context" << std::endl;

    camera->setGraphicsContext(context.get());
    camera->setViewport(0, 0, traits->width, traits->height);
    // Until the first resize event the projection must already match the window.
    resize(traits->width, traits->height);

    if (windowMaximized && X11WindowState::isNativeWindow(context.get()))
        X11WindowState::showMaximized(context.get());
}

void WindowController::getWindowSettings(std::string& outTitle, int& x, int& y, int& width, int& height,
                                         bool& outMaximized, bool& outFullscreen, unsigned int& outScreenNum,
                                         unsigned int& outNumSamples, bool& outStereo) const
{
    osgViewer::GraphicsWindow* window = dynamic_cast<osgViewer::GraphicsWindow*>(camera->getGraphicsContext());
    // A closed window has nothing left to ask; what was recorded at its close stands.
    if (!window || !window->valid())
    {
        outTitle = title;
        x = windowX;
        y = windowY;
        width = windowWidth;
        height = windowHeight;
        outMaximized = maximized;
        outFullscreen = fullscreen;
        outScreenNum = screenNum;
        outNumSamples = numSamples;
        outStereo = stereo;
        return;
    }
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (!wsi)
    {
        OSG_NOTICE << noInterfaceNotice << std::endl;
        return;
    }
    // Copy everything first: the outputs may be this controller's own fields.
    const unsigned int recordedScreen = screenNum;
    std::string name = window->getWindowName();
    unsigned int screenWidth = 0, screenHeight = 0;
    if (window->getTraits())
        wsi->getScreenResolution(*window->getTraits(), screenWidth, screenHeight);
    else
        wsi->getScreenResolution(screenIdentifier(recordedScreen), screenWidth, screenHeight);
    int rx = 0, ry = 0, rw = 0, rh = 0;
    windowRectangle(window, rx, ry, rw, rh);

    outTitle = name;
    x = rx;
    y = ry;
    width = rw;
    height = rh;
    outFullscreen = rx == 0 && ry == 0 && rw == static_cast<int>(screenWidth) && rh == static_cast<int>(screenHeight);
    outMaximized = X11WindowState::isNativeWindow(window) && X11WindowState::isMaximized(window);
    outNumSamples = window->getTraits() ? window->getTraits()->samples : 0;
    outScreenNum = recordedScreen;
    outStereo = window->getTraits() && window->getTraits()->quadBufferStereo;
}

void WindowController::toggleFullscreen(osgViewer::GraphicsWindow* window)
{
    osg::GraphicsContext::WindowingSystemInterface* wsi = osg::GraphicsContext::getWindowingSystemInterface();
    if (!wsi)
    {
        OSG_NOTICE << noInterfaceNotice << std::endl;
        return;
    }
    unsigned int screenWidth = 0, screenHeight = 0;
    if (window->getTraits())
        wsi->getScreenResolution(*window->getTraits(), screenWidth, screenHeight);
    int x = 0, y = 0, width = 0, height = 0;
    windowRectangle(window, x, y, width, height);

    if (x == 0 && y == 0 && width == static_cast<int>(screenWidth) && height == static_cast<int>(screenHeight))
    {
        window->setWindowDecoration(true);
        window->setWindowRectangle(windowX, windowY, windowWidth, windowHeight);
    }
    else
    {
        windowX = x;
        windowY = y;
        windowWidth = width;
        windowHeight = height;
        window->setWindowDecoration(false);
        window->setWindowRectangle(0, 0, static_cast<int>(screenWidth), static_cast<int>(screenHeight));
        if (maximized && X11WindowState::isNativeWindow(window))
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

bool WindowController::isWindowOpen() const
{
    osgViewer::GraphicsWindow* window = dynamic_cast<osgViewer::GraphicsWindow*>(camera->getGraphicsContext());
    return window && window->valid();
}

void WindowController::rememberLastState()
{
    if (!isWindowOpen())
        return;
    unsigned int screen = 0;
    getWindowSettings(lastState.title, lastState.x, lastState.y, lastState.width, lastState.height,
                      lastState.maximized, lastState.fullscreen, screen, lastState.numSamples, lastState.stereo);
    lastState.valid = true;
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
        if (isWindowOpen())
            getWindowSettings(title, windowX, windowY, windowWidth, windowHeight, maximized, fullscreen, screenNum,
                              numSamples, stereo);
        else if (lastState.valid)
        {
            title = lastState.title;
            windowX = lastState.x;
            windowY = lastState.y;
            windowWidth = lastState.width;
            windowHeight = lastState.height;
            maximized = lastState.maximized;
            fullscreen = lastState.fullscreen;
            numSamples = lastState.numSamples;
            stereo = lastState.stereo;
        }
        return false;
    default:
        return false;
    }
}

} // namespace osgTAVRI
