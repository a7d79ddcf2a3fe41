#include "viewer/TAVRIview.h"

#include "viewer/ConfigurationFile.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/RecordingController.h"
#include "viewer/SaveConfigurationHandler.h"
#include "viewer/ScreenshotWriter.h"
#include "viewer/StatePaths.h"
#include "viewer/scene/PagedTerrain.h"
#include "viewer/scene/SceneController.h"
#include "viewer/window/WindowController.h"

#include "common/Version.h"

#include <osg/Notify>
#include <osg/observer_ptr>
#include <osgDB/Options>
#include <osgDB/Registry>
#include <osgGA/StateSetManipulator>
#include <osgViewer/ViewerEventHandlers>

namespace osgTAVRI
{

namespace
{
// No key event carries it: a stock handler's binding set to it is switched off.
const int noKey = -1;

// A screenshot shows the whole scene: its key waits for the content still being built, which
// then joins the scene before the frame that is captured.
class CompleteSceneHandler : public osgGA::GUIEventHandler
{
public:
    CompleteSceneHandler(osg::observer_ptr<TAVRIview> view, int key) : program(view), captureKey(key) {}

    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter&) override
    {
        osg::ref_ptr<TAVRIview> view;
        const bool key = ea.getEventType() == osgGA::GUIEventAdapter::KEYDOWN ||
                         ea.getEventType() == osgGA::GUIEventAdapter::KEYUP;
        if (key && ea.getKey() == captureKey && program.lock(view) && view->isContentPending())
            view->waitForContent();
        return false;
    }

private:
    osg::observer_ptr<TAVRIview> program;
    int captureKey;
};
} // namespace

TAVRIview::TAVRIview() : configurationPath(StatePaths::treeConfigurationPath()), viewer(new osgViewer::Viewer) {}

void TAVRIview::setConfiguration(const std::string& path, const std::string& folder)
{
    configurationPath = path;
    modelFolder = folder;
}

int TAVRIview::run()
{
    if (!setupDone)
        setup();
    return viewer->run();
}

void TAVRIview::setup()
{
    if (setupDone)
        return;

    osgDB::Registry::instance()->setDataFilePathList(std::string());

    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->setName("Root");
    osg::ref_ptr<osg::Group> sceneRoot = new osg::Group;
    sceneRoot->setName("SceneRoot");
    root->addChild(sceneRoot);
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->setName("Scene");
    sceneRoot->addChild(scene);
    osg::ref_ptr<osg::Group> overlay = new osg::Group;
    overlay->setName("Overlay");
    root->addChild(overlay);
    viewer->setSceneData(root);

    osg::Camera* camera = viewer->getCamera();

    // The viewer holds the handler and this object holds the viewer, so the handler refers back
    // weakly and does nothing once the program is gone.
    osg::observer_ptr<TAVRIview> program(this);
    viewer->addEventHandler(new SaveConfigurationHandler([program]() {
        osg::ref_ptr<TAVRIview> view;
        if (program.lock(view))
            view->saveConfiguration();
    }));
    overlayController = new OverlayController(overlay, camera);
    viewer->addEventHandler(overlayController);
    sceneController = new SceneController(scene);
    sceneController->setModelFolder(modelFolder);
    viewer->addEventHandler(sceneController);
    windowController = new WindowController(camera);
    windowController->setOffscreenSize(offscreenWidth, offscreenHeight);
    viewer->addEventHandler(windowController);
    environmentController = new EnvironmentController(camera, scene);
    viewer->addEventHandler(environmentController);
    // The overlay picks its logo against the clear colour on its first event, which comes
    // before this controller's: the background must be on the camera from the start. A
    // configured colour replaces it while the configuration is read.
    environmentController->setBackgroundColor(environmentController->getBackgroundColor());
    navigationController = new NavigationController(camera);
    viewer->setCameraManipulator(navigationController, true);

    osg::ref_ptr<osgGA::StateSetManipulator> renderModes =
        new osgGA::StateSetManipulator(scene->getOrCreateStateSet());
    renderModes->setKeyEventCyclePolygonMode(osgGA::GUIEventAdapter::KEY_F4);
    renderModes->setKeyEventToggleLighting(osgGA::GUIEventAdapter::KEY_F5);
    renderModes->setKeyEventToggleTexturing(osgGA::GUIEventAdapter::KEY_F6);
    renderModes->setKeyEventToggleBackfaceCulling(osgGA::GUIEventAdapter::KEY_F7);
    renderModes->setBackfaceEnabled(true);
    viewer->addEventHandler(renderModes);

    osg::ref_ptr<osgViewer::StatsHandler> stats = new osgViewer::StatsHandler;
    stats->setKeyEventTogglesOnScreenStats(osgGA::GUIEventAdapter::KEY_F10);
    // Only the keys on the help page do something: no report on the console for Shift+S.
    stats->setKeyEventPrintsOutStats(noKey);
    viewer->addEventHandler(stats);

    // Shots in a shared pictures folder are numbered on past the earlier ones.
    osg::ref_ptr<osgViewer::ScreenCaptureHandler::WriteToFile> writer;
    if (StatePaths::isTreeWritable())
        writer = new osgViewer::ScreenCaptureHandler::WriteToFile(
            StatePaths::screenshotPrefix(), "jpg", osgViewer::ScreenCaptureHandler::WriteToFile::SEQUENTIAL_NUMBER);
    else
        writer = new ScreenshotWriter(StatePaths::screenshotPrefix());
    osg::ref_ptr<osgViewer::ScreenCaptureHandler> capture = new osgViewer::ScreenCaptureHandler(writer, 1);
    capture->setKeyEventTakeScreenShot(osgGA::GUIEventAdapter::KEY_F12);
    capture->setKeyEventToggleContinuousCapture(noKey);
    viewer->addEventHandler(new CompleteSceneHandler(program, capture->getKeyEventTakeScreenShot()));
    viewer->addEventHandler(capture);

    recordingController = new RecordingController(camera, navigationController, overlayController);
    viewer->addEventHandler(recordingController);

    viewer->setLightingMode(osg::View::NO_LIGHT);

    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_ALL);
    osgDB::Registry::instance()->setOptions(options);

    // Any configuration but the installation's own is named, so that one can tell which was read.
    std::string started = std::string("TAVRIview ") + programVersion;
    if (configurationPath != StatePaths::treeConfigurationPath())
        started += ", configuration " + configurationPath;
    OSG_NOTICE << started << std::endl;

    PagedTerrain::setupReading();
    loadConfiguration();
    PagedTerrain::boundPager(*viewer, scene.get(), sceneController->getPagedMemory());

    viewer->realize();
    setupDone = true;
}

bool TAVRIview::isContentPending() const
{
    return (sceneController.valid() && sceneController->isContentPending()) ||
           (environmentController.valid() && environmentController->isWaterPending());
}

void TAVRIview::waitForContent()
{
    if (sceneController.valid())
        sceneController->mergeContent(true);
    if (environmentController.valid())
        environmentController->mergeWater(true);
}

void TAVRIview::setOffscreenSize(int width, int height)
{
    offscreenWidth = width;
    offscreenHeight = height;
}

void TAVRIview::loadConfiguration()
{
    const std::optional<WindowSettings> window = ConfigurationFile::load(configurationPath, configurationControllers());
    windowController->createWindow(window ? *window : WindowController::defaultSettings());
}

void TAVRIview::saveConfiguration()
{
    ConfigurationFile::save(configurationPath, configurationControllers());
}

ConfigurationFile::Controllers TAVRIview::configurationControllers() const
{
    return {overlayController.get(), sceneController.get(), environmentController.get(),
            navigationController.get(), windowController.get(), recordingController.get()};
}

} // namespace osgTAVRI
