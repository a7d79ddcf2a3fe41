#include "tests/viewer/ViewerHarness.h"

#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/RecordingController.h"
#include "viewer/SaveConfigurationHandler.h"
#include "viewer/scene/SceneController.h"
#include "viewer/TAVRIview.h"
#include "viewer/window/WindowController.h"

#include <osgDB/Registry>
#include <osgGA/StateSetManipulator>
#include <osgViewer/ViewerEventHandlers>

using tavritest::ViewerHarness;

namespace
{
const char* smallWindow = "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>";
}

TEST(TAVRIview, BuildsTheSkeleton)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    ASSERT_NE(h.root(), nullptr);
    EXPECT_EQ(h.root()->getName(), "Root");
    ASSERT_EQ(h.root()->getNumChildren(), 2u);
    EXPECT_EQ(h.root()->getChild(0), h.sceneRoot());
    EXPECT_EQ(h.root()->getChild(1), h.overlay());
    ASSERT_NE(h.scene(), nullptr);
    EXPECT_EQ(h.scene()->getNumParents(), 1u);
    EXPECT_EQ(h.scene()->getParent(0), h.sceneRoot());
    EXPECT_EQ(h.sceneRoot()->getChild(0), h.scene());
    EXPECT_TRUE(h.app().isSetupDone());
}

TEST(TAVRIview, InstallsTheHandlersInOrder)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    const osgViewer::View::EventHandlers& handlers = h.viewer().getEventHandlers();
    std::vector<osgGA::EventHandler*> list(handlers.begin(), handlers.end());
    ASSERT_EQ(list.size(), 10u);
    EXPECT_NE(dynamic_cast<osgTAVRI::SaveConfigurationHandler*>(list[0]), nullptr);
    EXPECT_EQ(list[1], h.overlayController());
    EXPECT_EQ(list[2], h.sceneController());
    EXPECT_EQ(list[3], h.windowController());
    EXPECT_EQ(list[4], h.environmentController());

    osgGA::StateSetManipulator* renderModes = dynamic_cast<osgGA::StateSetManipulator*>(list[5]);
    ASSERT_NE(renderModes, nullptr);
    EXPECT_EQ(renderModes->getStateSet(), h.scene()->getStateSet());
    EXPECT_EQ(renderModes->getKeyEventCyclePolygonMode(), osgGA::GUIEventAdapter::KEY_F4);
    EXPECT_EQ(renderModes->getKeyEventToggleLighting(), osgGA::GUIEventAdapter::KEY_F5);
    EXPECT_EQ(renderModes->getKeyEventToggleTexturing(), osgGA::GUIEventAdapter::KEY_F6);
    EXPECT_EQ(renderModes->getKeyEventToggleBackfaceCulling(), osgGA::GUIEventAdapter::KEY_F7);
    EXPECT_TRUE(renderModes->getBackfaceEnabled());

    osgViewer::StatsHandler* stats = dynamic_cast<osgViewer::StatsHandler*>(list[6]);
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->getKeyEventTogglesOnScreenStats(), osgGA::GUIEventAdapter::KEY_F10);

    // list[7] completes the scene for the screenshot key (BackgroundBuildTest).
    osgViewer::ScreenCaptureHandler* capture = dynamic_cast<osgViewer::ScreenCaptureHandler*>(list[8]);
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->getKeyEventTakeScreenShot(), osgGA::GUIEventAdapter::KEY_F12);
    EXPECT_EQ(capture->getFramesToCapture(), 1);
    EXPECT_EQ(list[9], h.app().getRecordingController());

    EXPECT_EQ(h.viewer().getCameraManipulator(), h.navigationController());
}

// The toolkit names objects in its statistics, errors and files by their class.
TEST(TAVRIview, HandlersNameTheirOwnClass)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    const std::vector<std::pair<osg::Object*, std::string>> handlers = {
        {h.viewer().getEventHandlers().front().get(), "SaveConfigurationHandler"},
        {h.overlayController(), "OverlayController"},     {h.sceneController(), "SceneController"},
        {h.windowController(), "WindowController"},       {h.environmentController(), "EnvironmentController"},
        {h.navigationController(), "NavigationController"},
        {h.app().getRecordingController(), "RecordingController"}};
    for (const auto& handler : handlers)
    {
        EXPECT_EQ(handler.first->className(), handler.second);
        EXPECT_STREQ(handler.first->libraryName(), "osgTAVRI");
        osg::ref_ptr<osg::Object> copy = handler.first->clone(osg::CopyOp::SHALLOW_COPY);
        EXPECT_TRUE(handler.first->isSameKindAs(copy.get())) << handler.second;
        EXPECT_EQ(copy->className(), handler.second);
        EXPECT_FALSE(handler.first->isSameKindAs(h.viewer().getCamera()));
    }
}

TEST(TAVRIview, SetsTheToolkitDefaults)
{
    osgDB::Registry::instance()->setDataFilePathList("/somewhere/else");
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    EXPECT_TRUE(osgDB::Registry::instance()->getDataFilePathList().empty());
    ASSERT_NE(osgDB::Registry::instance()->getOptions(), nullptr);
    EXPECT_EQ(osgDB::Registry::instance()->getOptions()->getObjectCacheHint(), osgDB::Options::CACHE_ALL);
    EXPECT_EQ(h.viewer().getLightingMode(), osg::View::NO_LIGHT);
    EXPECT_EQ(h.app().getConfigurationPath(), "../Resources/Configuration.xml");
}

TEST(TAVRIview, EscapeEndsTheFrameLoop)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    h.frame();
    EXPECT_FALSE(h.viewer().done());
    h.key(osgGA::GUIEventAdapter::KEY_Escape);
    h.frame();
    EXPECT_TRUE(h.viewer().done());
    // Nothing is saved on the way out.
    EXPECT_EQ(tavritest::readFile(h.configurationPath()), smallWindow);
}

TEST(TAVRIview, F3IsIgnoredWithoutAWindow)
{
    osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
    EXPECT_FALSE(view->isSetupDone());
    EXPECT_EQ(view->getSceneController(), nullptr);
    int saves = 0;
    osg::ref_ptr<osgTAVRI::SaveConfigurationHandler> f3 = new osgTAVRI::SaveConfigurationHandler([&saves] { ++saves; });
    osg::ref_ptr<osgGA::GUIEventAdapter> event = new osgGA::GUIEventAdapter;
    event->setEventType(osgGA::GUIEventAdapter::KEYDOWN);
    event->setKey(osgGA::GUIEventAdapter::KEY_F3);
    // No window: nothing to save, and the event goes on.
    EXPECT_FALSE(f3->handle(*event, view->getViewer()));
    EXPECT_EQ(saves, 0);
}

// The program owns its viewer and the viewer's handlers do not own the program, so letting go
// of the program ends everything without help.
TEST(TAVRIview, ReleasingTheProgramEndsItsViewerAndItsHandlers)
{
    osg::observer_ptr<osgTAVRI::TAVRIview> program;
    osg::observer_ptr<osgViewer::Viewer> viewer;
    osg::observer_ptr<osgTAVRI::SceneController> scene;
    {
        ViewerHarness h;
        h.writeConfiguration(smallWindow);
        h.setup();
        h.frame();
        program = &h.app();
        viewer = &h.viewer();
        scene = h.sceneController();
    }
    EXPECT_FALSE(program.valid());
    EXPECT_FALSE(viewer.valid());
    EXPECT_FALSE(scene.valid());
}
