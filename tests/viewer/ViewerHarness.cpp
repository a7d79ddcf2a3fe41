#include "tests/viewer/ViewerHarness.h"

#include "viewer/TAVRIview.h"
#include "viewer/window/WindowController.h"
#include "viewer/platform/WindowFactory.h"

#include <osg/Camera>
#include <osg/GL>
#include <osgDB/Registry>
#include <osgViewer/View>

#include <filesystem>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

namespace tavritest
{

namespace
{
osg::Group* findGroup(osg::Group* parent, const std::string& name)
{
    if (!parent)
        return nullptr;
    if (parent->getName() == name)
        return parent;
    for (unsigned int i = 0; i < parent->getNumChildren(); ++i)
        if (osg::Group* found = findGroup(parent->getChild(i)->asGroup(), name))
            return found;
    return nullptr;
}

// Reads the colour buffer at the end of the master camera's draw, before the swap.
class CaptureCallback : public osg::Camera::DrawCallback
{
public:
    void operator()(osg::RenderInfo& renderInfo) const override
    {
        if (!image.valid())
            return;
        const osg::Viewport* viewport = renderInfo.getCurrentCamera()->getViewport();
        if (!viewport)
            return;
        image->readPixels(static_cast<int>(viewport->x()), static_cast<int>(viewport->y()),
                          static_cast<int>(viewport->width()), static_cast<int>(viewport->height()), GL_RGBA,
                          GL_UNSIGNED_BYTE);
        done = image;
        image = nullptr;
    }
    mutable osg::ref_ptr<osg::Image> image;
    mutable osg::ref_ptr<osg::Image> done;
};
} // namespace

ViewerHarness::ViewerHarness()
{
    osgTAVRI::prepareWindowSystem();
    fs::create_directories(binDir());
    fs::create_directories(resourcesDir());
    fs::create_directories(contentDir());
}

ViewerHarness::~ViewerHarness()
{
    view = nullptr;
    if (!previousDir.empty())
        (void)chdir(previousDir.c_str());
}

void ViewerHarness::writeConfiguration(const std::string& text) { writeFile(configurationPath(), text); }

void ViewerHarness::copyIntoTree(const std::string& source, const std::string& relativeTarget)
{
    fs::path target = fs::path(rootDir()) / relativeTarget;
    fs::create_directories(target.parent_path());
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void ViewerHarness::setup()
{
    ensureDisplay();
    if (previousDir.empty())
        previousDir = fs::current_path().string();
    if (chdir(binDir().c_str()) != 0)
        throw std::runtime_error("cannot change into " + binDir());
    // Each run starts like a fresh program: nothing read by an earlier run under the same
    // relative path ("../Resources/...") may come from the registry's cache.
    osgDB::Registry::instance()->clearObjectCache();
    view = new osgTAVRI::TAVRIview;
    if (singleThreaded)
        view->getViewer().setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    view->setup();
}

void ViewerHarness::frame(int n)
{
    for (int i = 0; i < n; ++i)
    {
        view->getViewer().frame();
        view->waitForContent();
    }
}

osgViewer::Viewer& ViewerHarness::viewer() { return view->getViewer(); }
osgTAVRI::OverlayController* ViewerHarness::overlayController() { return view->getOverlayController(); }
osgTAVRI::SceneController* ViewerHarness::sceneController() { return view->getSceneController(); }
osgTAVRI::WindowController* ViewerHarness::windowController() { return view->getWindowController(); }
osgTAVRI::EnvironmentController* ViewerHarness::environmentController() { return view->getEnvironmentController(); }
osgTAVRI::NavigationController* ViewerHarness::navigationController() { return view->getNavigationController(); }

osgTAVRI::WindowSettings ViewerHarness::windowSettings() { return windowController()->getWindowSettings(); }

osgViewer::GraphicsWindow* ViewerHarness::window()
{
    return dynamic_cast<osgViewer::GraphicsWindow*>(viewer().getCamera()->getGraphicsContext());
}

osg::Group* ViewerHarness::root() { return viewer().getSceneData() ? viewer().getSceneData()->asGroup() : nullptr; }
osg::Group* ViewerHarness::sceneRoot() { return findGroup(root(), "SceneRoot"); }
osg::Group* ViewerHarness::scene() { return findGroup(root(), "Scene"); }
osg::Group* ViewerHarness::overlay() { return findGroup(root(), "Overlay"); }

osgGA::EventQueue* ViewerHarness::eventQueue()
{
    if (osgViewer::GraphicsWindow* w = window())
        return w->getEventQueue();
    return viewer().getEventQueue();
}

void ViewerHarness::keyPress(int key, int modKeyMask)
{
    eventQueue()->getCurrentEventState()->setModKeyMask(modKeyMask);
    eventQueue()->keyPress(key);
}

void ViewerHarness::keyRelease(int key, int modKeyMask)
{
    eventQueue()->getCurrentEventState()->setModKeyMask(modKeyMask);
    eventQueue()->keyRelease(key);
}

void ViewerHarness::key(int key, int modKeyMask)
{
    keyPress(key, modKeyMask);
    keyRelease(key, modKeyMask);
}

void ViewerHarness::mouseMove(float x, float y) { eventQueue()->mouseMotion(x, y); }
void ViewerHarness::mousePress(float x, float y, unsigned int button) { eventQueue()->mouseButtonPress(x, y, button); }

void ViewerHarness::mouseRelease(float x, float y, unsigned int button)
{
    eventQueue()->mouseButtonRelease(x, y, button);
}

void ViewerHarness::mouseDrag(float x0, float y0, float x1, float y1, unsigned int button, int steps)
{
    mousePress(x0, y0, button);
    frame();
    for (int i = 1; i <= steps; ++i)
    {
        const float t = static_cast<float>(i) / static_cast<float>(steps);
        eventQueue()->mouseMotion(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
        frame();
    }
    mouseRelease(x1, y1, button);
}

void ViewerHarness::scroll(osgGA::GUIEventAdapter::ScrollingMotion motion) { eventQueue()->mouseScroll(motion); }

void ViewerHarness::injectResize(int x, int y, int width, int height)
{
    eventQueue()->windowResize(x, y, width, height);
}

void ViewerHarness::resizeWindow(int x, int y, int width, int height)
{
    if (osgViewer::GraphicsWindow* w = window())
        w->setWindowRectangle(x, y, width, height);
}

void ViewerHarness::closeWindow() { eventQueue()->closeWindow(); }

void ViewerHarness::addEvent(osgGA::GUIEventAdapter* event) { eventQueue()->addEvent(event); }

osg::ref_ptr<osg::Image> ViewerHarness::readPixels(double simulationTime)
{
    osg::Camera* camera = viewer().getCamera();
    osg::ref_ptr<CaptureCallback> capture = new CaptureCallback;
    capture->image = new osg::Image;
    osg::ref_ptr<osg::Camera::DrawCallback> previous = camera->getFinalDrawCallback();
    camera->setFinalDrawCallback(capture);
    viewer().frame(simulationTime);
    if (!singleThreaded)
        viewer().stopThreading(); // makes sure the draw has finished
    camera->setFinalDrawCallback(previous);
    if (!singleThreaded)
        viewer().startThreading();
    return capture->done;
}

} // namespace tavritest
