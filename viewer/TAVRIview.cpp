#include "viewer/TAVRIview.h"

#include "viewer/ConfigurationFile.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/SaveConfigurationHandler.h"
#include "viewer/scene/PagedTerrain.h"
#include "viewer/scene/SceneController.h"
#include "viewer/window/WindowController.h"

#include <osg/Notify>
#include <osgDB/Options>
#include <osgDB/Registry>
#include <osgGA/StateSetManipulator>
#include <osgViewer/ViewerEventHandlers>

namespace osgTAVRI
{

TAVRIview::TAVRIview() : configurationPath("../Resources/Configuration.xml"), viewer(new osgViewer::Viewer) {}

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

    viewer->addEventHandler(new SaveConfigurationHandler(this));
    overlayController = new OverlayController(overlay, camera);
    viewer->addEventHandler(overlayController);
    sceneController = new SceneController(scene);
    viewer->addEventHandler(sceneController);
    windowController = new WindowController(camera);
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
    viewer->addEventHandler(stats);

    osg::ref_ptr<osgViewer::ScreenCaptureHandler::WriteToFile> writer =
        new osgViewer::ScreenCaptureHandler::WriteToFile("../TAVRIview", "jpg",
                                                         osgViewer::ScreenCaptureHandler::WriteToFile::SEQUENTIAL_NUMBER);
    osg::ref_ptr<osgViewer::ScreenCaptureHandler> capture = new osgViewer::ScreenCaptureHandler(writer, 1);
    capture->setKeyEventTakeScreenShot(osgGA::GUIEventAdapter::KEY_F12);
    viewer->addEventHandler(capture);

    viewer->setLightingMode(osg::View::NO_LIGHT);

    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_ALL);
    osgDB::Registry::instance()->setOptions(options);

    OSG_NOTICE << programName() << programVersion() << std::endl;

    PagedTerrain::setupReading();
    loadConfiguration();
    PagedTerrain::boundPager(*viewer, scene.get(), sceneController->getPagedMemory());

    viewer->realize();
    setupDone = true;
}

void TAVRIview::loadConfiguration()
{
    ConfigurationFile::load(configurationPath, configurationControllers());
}

void TAVRIview::saveConfiguration()
{
    ConfigurationFile::save(configurationPath, configurationControllers());
}

ConfigurationFile::Controllers TAVRIview::configurationControllers() const
{
    return {overlayController.get(), sceneController.get(), environmentController.get(),
            navigationController.get(), windowController.get()};
}

} // namespace osgTAVRI
