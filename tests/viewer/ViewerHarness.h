#pragma once

#include "tests/support/TestSupport.h"
#include "viewer/window/WindowSettings.h"

#include <osg/Group>
#include <osg/Image>
#include <osg/Notify>
#include <osgGA/EventQueue>
#include <osgGA/GUIEventAdapter>
#include <osgViewer/GraphicsWindow>
#include <osgViewer/Viewer>

#include <memory>
#include <string>
#include <vector>

namespace osgTAVRI
{
class TAVRIview;
class OverlayController;
class SceneController;
class WindowController;
class EnvironmentController;
class NavigationController;
} // namespace osgTAVRI

namespace tavritest
{

// Drives the real viewer in this process under our own Xvfb. It lays out an installation-like
// folder (Bin, Resources, Content) in a temporary directory, runs the viewer from Bin, injects
// events into the window's queue, steps frames and reads back pixels. The working directory
// is restored when the harness is destroyed.
//
//   ViewerHarness h;
//   h.writeConfiguration("<Window x=\"0\" y=\"0\" width=\"640\" height=\"480\"/>");
//   h.setup();
//   h.key(osgGA::GUIEventAdapter::KEY_F3);
//   h.frame();
class ViewerHarness
{
public:
    ViewerHarness();
    ~ViewerHarness();
    ViewerHarness(const ViewerHarness&) = delete;
    ViewerHarness& operator=(const ViewerHarness&) = delete;

    // The installation-like folders; valid from construction.
    std::string rootDir() const { return temp.path(); }
    std::string binDir() const { return temp.file("Bin"); }
    std::string resourcesDir() const { return temp.file("Resources"); }
    std::string contentDir() const { return temp.file("Content"); }
    std::string configurationPath() const { return temp.file("Resources/Configuration.xml"); }

    // Writes Resources/Configuration.xml (call before setup()).
    void writeConfiguration(const std::string& text);
    // Copies a real file into the tree, e.g. copyIntoTree(model, "Content/cow.osg").
    void copyIntoTree(const std::string& source, const std::string& relativeTarget);

    // Single-threaded by default so that frame() has drawn when it returns.
    void setSingleThreaded(bool value) { singleThreaded = value; }

    // Starts Xvfb if needed, changes into Bin, creates the viewer and runs its set-up
    // (skeleton, handlers, configuration, window, realise).
    void setup();
    // Steps n whole frames (events, update, draw). After each, the content that the viewer
    // builds in the background joins the scene, so that what follows sees all of it; step
    // viewer().frame() to see the frames that go on without it.
    void frame(int n = 1);

    osgTAVRI::TAVRIview& app() { return *view; }
    osgViewer::Viewer& viewer();
    osgTAVRI::OverlayController* overlayController();
    osgTAVRI::SceneController* sceneController();
    osgTAVRI::WindowController* windowController();
    osgTAVRI::EnvironmentController* environmentController();
    osgTAVRI::NavigationController* navigationController();
    osgTAVRI::WindowSettings windowSettings();
    osgViewer::GraphicsWindow* window();

    // The skeleton groups, found by name.
    osg::Group* root();
    osg::Group* sceneRoot();
    osg::Group* scene();
    osg::Group* overlay();

    // Events go into the window's queue (the view's when there is no window), as the
    // window system's would; they are handled in the next frame().
    osgGA::EventQueue* eventQueue();
    void keyPress(int key, int modKeyMask = 0);
    void keyRelease(int key, int modKeyMask = 0);
    void key(int key, int modKeyMask = 0); // press and release
    void mouseMove(float x, float y);
    void mousePress(float x, float y, unsigned int button = 1);
    void mouseRelease(float x, float y, unsigned int button = 1);
    void mouseDrag(float x0, float y0, float x1, float y1, unsigned int button = 1, int steps = 5);
    void scroll(osgGA::GUIEventAdapter::ScrollingMotion motion);
    void injectResize(int x, int y, int width, int height); // the event only
    void resizeWindow(int x, int y, int width, int height); // the real window, through X
    void closeWindow();                                     // the event a window manager sends
    // Any other event, e.g. a files-dropped event built by the caller.
    void addEvent(osgGA::GUIEventAdapter* event);

    // The colour buffer of the next frame (it steps one frame, at the given simulation time
    // or else the real one), RGBA, origin bottom left.
    osg::ref_ptr<osg::Image> readPixels(double simulationTime = USE_REFERENCE_TIME);

private:
    TempDir temp;
    std::string previousDir;
    bool singleThreaded = true;
    osg::ref_ptr<osgTAVRI::TAVRIview> view;
};

} // namespace tavritest
