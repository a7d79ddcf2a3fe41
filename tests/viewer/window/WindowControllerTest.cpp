#include "tests/viewer/ViewerHarness.h"

#include "viewer/TAVRIview.h"
#include "viewer/window/WindowController.h"
#include "viewer/platform/X11WindowState.h"

#include <osgViewer/ViewerEventHandlers>
#include <osgViewer/api/X11/GraphicsWindowX11>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cmath>

#include <dlfcn.h>

using tavritest::ViewerHarness;
using osgTAVRI::WindowSettings;

namespace
{
std::atomic<int> displaysOpened{0};
} // namespace

// Counts the connections to an X server that the process opens: the toolkit's and ours come
// through here before the real XOpenDisplay.
extern "C" Display* XOpenDisplay(const char* name)
{
    using Open = Display* (*)(const char*);
    static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "XOpenDisplay"));
    ++displaysOpened;
    return real(name);
}

namespace
{
const int screenWidth = 1280; // the test server's screen
const int screenHeight = 1024;

std::string windowElement(int x, int y, int width, int height, const std::string& extra = "")
{
    return "<Window title=\"Test\" x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
           std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" numSamples=\"0\" " + extra + "/>";
}

// Remembers whether the events behind the window controller arrived marked as handled.
class HandledProbe : public osgGA::GUIEventHandler
{
public:
    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter&) override
    {
        if (ea.getEventType() == osgGA::GUIEventAdapter::KEYDOWN)
            seen.push_back({ea.getKey(), ea.getHandled()});
        return false;
    }
    std::vector<std::pair<int, bool>> seen;
};

// Where the window really is, as the X server has it.
void expectWindowAt(ViewerHarness& h, int x, int y, int width, int height)
{
    int rx = -1, ry = -1, rw = -1, rh = -1;
    ASSERT_TRUE(osgTAVRI::X11WindowState::getFrameRectangle(h.window(), rx, ry, rw, rh));
    EXPECT_EQ(rx, x);
    EXPECT_EQ(ry, y);
    EXPECT_EQ(rw, width);
    EXPECT_EQ(rh, height);
}

void expectSettings(const WindowSettings& settings, int x, int y, int width, int height, bool fullscreen)
{
    EXPECT_EQ(settings.x, x);
    EXPECT_EQ(settings.y, y);
    EXPECT_EQ(settings.width, width);
    EXPECT_EQ(settings.height, height);
    EXPECT_EQ(settings.fullscreen, fullscreen);
}

// F11 on a full-screen window: back to the given rectangle, with decoration.
void expectF11ReturnsTo(ViewerHarness& h, int x, int y, int width, int height)
{
    h.key(osgGA::GUIEventAdapter::KEY_F11);
    h.frame(2);
    expectWindowAt(h, x, y, width, height);
    expectSettings(h.windowSettings(), x, y, width, height, false);
    EXPECT_TRUE(h.window()->getTraits()->windowDecoration);
}

void expectPerspective(osg::Camera* camera, double fovy, double aspect)
{
    double actualFovy = 0, actualAspect = 0, zNear = 0, zFar = 0;
    ASSERT_TRUE(camera->getProjectionMatrixAsPerspective(actualFovy, actualAspect, zNear, zFar));
    EXPECT_NEAR(actualFovy, fovy, 1e-3);
    EXPECT_NEAR(actualAspect, aspect, 1e-5);
    EXPECT_NEAR(zNear, 1.0, 1e-6);
    EXPECT_NEAR(zFar, 100000.0, 1e-1);
}
} // namespace

TEST(WindowController, F11GoesFullScreenAndBackToTheRecordedRectangle)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(100, 50, 800, 600));
    h.setup();
    h.frame(2);
    expectWindowAt(h, 100, 50, 800, 600);
    EXPECT_FALSE(h.windowSettings().fullscreen);
    EXPECT_EQ(h.windowSettings().title, "Test");

    h.key(osgGA::GUIEventAdapter::KEY_F11);
    h.frame(2);
    expectWindowAt(h, 0, 0, screenWidth, screenHeight);
    EXPECT_FALSE(h.window()->getTraits()->windowDecoration);
    // What is kept for the configuration is the rectangle to come back to.
    expectSettings(h.windowSettings(), 100, 50, 800, 600, true);
    // The new size reaches the projection through the window's own resize event.
    expectPerspective(h.viewer().getCamera(), 60.0 / (1280.0 / 1024.0), 1280.0 / 1024.0);

    expectF11ReturnsTo(h, 100, 50, 800, 600);
}

TEST(WindowController, StartedFullScreenTheFirstF11RestoresTheConfiguredRectangle)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(100, 50, 800, 600, "fullscreen=\"1\""));
    h.setup();
    h.frame(2);
    expectWindowAt(h, 0, 0, screenWidth, screenHeight);
    expectSettings(h.windowSettings(), 100, 50, 800, 600, true);
    expectF11ReturnsTo(h, 100, 50, 800, 600);
}

TEST(WindowController, AWindowCoveringTheScreenCountsAsFullScreen)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(100, 50, 800, 600));
    h.setup();
    h.frame();
    h.resizeWindow(0, 0, screenWidth, screenHeight);
    h.frame(2);
    EXPECT_TRUE(h.windowSettings().fullscreen);

    // F11 sees a full-screen window and so goes back to the configured rectangle.
    expectF11ReturnsTo(h, 100, 50, 800, 600);
}

// Dragging an edge of the window sends a stream of resize events; none may cost a new connection
// to the X server, which would make the window stutter. The test resizes the window from its
// own connection, as a window manager does while the user drags.
TEST(WindowController, ResizingTheWindowOpensNoXConnection)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(100, 50, 800, 600));
    h.setup();
    h.frame(2);
    Display* manager = XOpenDisplay(tavritest::displayName().c_str());
    ASSERT_NE(manager, nullptr);
    const Window window = dynamic_cast<osgViewer::GraphicsWindowX11*>(h.window())->getWindow();
    const int before = displaysOpened;
    for (int i = 1; i <= 20; ++i)
    {
        XResizeWindow(manager, window, 800 - 10 * i, 600 - 10 * i);
        XSync(manager, False);
        h.frame();
    }
    h.frame(2);
    EXPECT_EQ(displaysOpened - before, 0);
    XCloseDisplay(manager);
    // The resizes arrived, and the last one is what a close records.
    EXPECT_EQ(h.viewer().getCamera()->getViewport()->width(), 600);
    h.closeWindow();
    h.frame();
    expectSettings(h.windowSettings(), 100, 50, 600, 400, false);
}

TEST(WindowController, ResizeSetsViewportAndProjection)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(0, 0, 800, 600));
    h.setup();
    // The projection matches the window from the first frame on, before any resize event.
    expectPerspective(h.viewer().getCamera(), 45.0, 4.0 / 3.0);

    h.injectResize(0, 0, 1600, 900);
    h.frame();
    expectPerspective(h.viewer().getCamera(), 33.75, 16.0 / 9.0);
    const osg::Viewport* viewport = h.viewer().getCamera()->getViewport();
    EXPECT_EQ(viewport->width(), 1600);
    EXPECT_EQ(viewport->height(), 900);

    // A minimised window reports height 0: the last projection and viewport stay.
    h.injectResize(0, 0, 1600, 0);
    h.frame();
    expectPerspective(h.viewer().getCamera(), 33.75, 16.0 / 9.0);
    EXPECT_EQ(h.viewer().getCamera()->getViewport()->height(), 900);
    EXPECT_TRUE(h.viewer().getCamera()->getProjectionMatrix().valid());
}

TEST(WindowController, F11IsMarkedHandledOtherKeysAreNot)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(10, 10, 640, 480));
    h.setup();
    osg::ref_ptr<HandledProbe> probe = new HandledProbe;
    h.viewer().addEventHandler(probe);
    h.key(osgGA::GUIEventAdapter::KEY_F11);
    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.key(osgGA::GUIEventAdapter::KEY_F4);
    h.key('1');
    h.frame();
    ASSERT_EQ(probe->seen.size(), 4u);
    EXPECT_EQ(probe->seen[0].first, osgGA::GUIEventAdapter::KEY_F11);
    EXPECT_TRUE(probe->seen[0].second);
    EXPECT_FALSE(probe->seen[1].second);
    // F4 is handled by the render-mode manipulator, which stands before the probe.
    EXPECT_EQ(probe->seen[3].first, '1');
    EXPECT_FALSE(probe->seen[3].second);
}

TEST(WindowController, ClosingTheWindowRecordsItsLastStateAndEndsTheLoop)
{
    ViewerHarness h;
    h.writeConfiguration(windowElement(100, 50, 800, 600));
    h.setup();
    h.frame();
    h.resizeWindow(30, 40, 700, 500);
    h.frame(2);
    h.closeWindow();
    h.frame();
    EXPECT_TRUE(h.viewer().done());
    WindowSettings last = h.windowSettings();
    EXPECT_EQ(last.x, 30);
    EXPECT_EQ(last.y, 40);
    EXPECT_EQ(last.width, 700);
    EXPECT_EQ(last.height, 500);
}

// Without a window manager on the test server, the test plays its part: it watches the root
// window for the EWMH request and then sets the state as a manager would.
TEST(WindowController, MaximizedIsAskedOfTheWindowManagerAndReportedBack)
{
    tavritest::ensureDisplay();
    Display* manager = XOpenDisplay(tavritest::displayName().c_str());
    ASSERT_NE(manager, nullptr);
    XSelectInput(manager, DefaultRootWindow(manager), SubstructureNotifyMask);
    XSync(manager, False);

    ViewerHarness h;
    h.writeConfiguration(windowElement(20, 20, 640, 480, "maximized=\"1\""));
    h.setup();
    h.frame();
    osgViewer::GraphicsWindowX11* window = dynamic_cast<osgViewer::GraphicsWindowX11*>(h.window());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(osgTAVRI::X11WindowState::isMaximized(window));

    const Atom state = XInternAtom(manager, "_NET_WM_STATE", False);
    const Atom vertical = XInternAtom(manager, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const Atom horizontal = XInternAtom(manager, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    XSync(manager, False);
    bool requested = false;
    XEvent event;
    while (XCheckTypedEvent(manager, ClientMessage, &event))
        if (event.xclient.message_type == state && event.xclient.window == window->getWindow() &&
            event.xclient.data.l[0] == 1 && static_cast<Atom>(event.xclient.data.l[1]) == vertical &&
            static_cast<Atom>(event.xclient.data.l[2]) == horizontal)
            requested = true;
    EXPECT_TRUE(requested);

    Atom atoms[2] = {vertical, horizontal};
    XChangeProperty(manager, window->getWindow(), state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(atoms), 2);
    XSync(manager, False);
    EXPECT_TRUE(osgTAVRI::X11WindowState::isMaximized(window));
    EXPECT_TRUE(h.windowSettings().maximized);

    // One atom alone is not maximised.
    XChangeProperty(manager, window->getWindow(), state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(atoms), 1);
    XSync(manager, False);
    EXPECT_FALSE(osgTAVRI::X11WindowState::isMaximized(window));
    XCloseDisplay(manager);
}

