#include "tests/viewer/SceneProbe.h"
#include "tests/viewer/ViewerHarness.h"

#include "viewer/scene/DropFiles.h"
#include "viewer/scene/SceneController.h"

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>
#include <osgDB/WriteFile>
#include <osgViewer/api/X11/GraphicsWindowX11>

#include <filesystem>

#include <unistd.h>

namespace
{

struct NullActionAdapter : osgGA::GUIActionAdapter
{
    void requestRedraw() override {}
    void requestContinuousUpdate(bool) override {}
    void requestWarpPointer(float, float) override {}
};

class SceneController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        osgDB::Registry* registry = osgDB::Registry::instance();
        previousOptions = registry->getOptions();
        previousMap = registry->getAuthenticationMap();
        // The viewer frame makes caching the default; the controller relies on it.
        osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
        options->setObjectCacheHint(osgDB::Options::CACHE_ALL);
        registry->setOptions(options.get());
        registry->setAuthenticationMap(nullptr);
        registry->clearObjectCache();
        scene = new osg::Group;
        controller = new osgTAVRI::SceneController(scene.get());
    }

    void TearDown() override
    {
        osgDB::Registry* registry = osgDB::Registry::instance();
        registry->clearObjectCache();
        registry->setOptions(previousOptions.get());
        registry->setAuthenticationMap(previousMap.get());
    }

    // A model file holding an empty group named after the file.
    std::string model(const std::string& fileName)
    {
        osg::ref_ptr<osg::Group> group = new osg::Group;
        group->setName(osgDB::getStrippedName(fileName));
        const std::string path = temp.file(fileName);
        std::filesystem::create_directories(osgDB::getFilePath(path));
        EXPECT_TRUE(osgDB::writeNodeFile(*group, path)) << path;
        return path;
    }

    bool release(int key, int modKeyMask = 0)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = new osgGA::GUIEventAdapter;
        ea->setEventType(osgGA::GUIEventAdapter::KEYUP);
        ea->setKey(key);
        ea->setModKeyMask(modKeyMask);
        return controller->handle(*ea, actions);
    }

    std::vector<bool> values(unsigned int layer) const
    {
        std::vector<bool> v;
        osg::Switch* s = controller->getLayer(layer);
        for (unsigned int i = 0; s && i < s->getNumChildren(); ++i)
            v.push_back(s->getValue(i));
        return v;
    }

    tavritest::TempDir temp;
    osg::ref_ptr<osg::Group> scene;
    osg::ref_ptr<osgTAVRI::SceneController> controller;
    NullActionAdapter actions;
    osg::ref_ptr<osgDB::Options> previousOptions;
    osg::ref_ptr<osgDB::AuthenticationMap> previousMap;
};

using B = std::vector<bool>;

} // namespace

TEST_F(SceneController, LayersAreCreatedUpToTheHighestIndexAndKeysReachOnlyTheirLayer)
{
    controller->addModel("m", model("m.osg"), 3, true);
    ASSERT_EQ(controller->getNumLayers(), 4u);
    ASSERT_EQ(scene->getNumChildren(), 4u);
    for (unsigned int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(controller->getLayer(i)->getName(), "Layer " + std::to_string(i));
        EXPECT_EQ(scene->getChild(i), controller->getLayer(i));
    }
    EXPECT_EQ(values(3), B({true}));

    for (int key : {'0', '1', '2', '5', '9'})
        EXPECT_FALSE(release(key));
    EXPECT_EQ(values(3), B({true}));
    release('3');
    EXPECT_EQ(values(3), B({false}));
    release('3');
    EXPECT_EQ(values(3), B({true}));

    // A later model in a lower layer adds no layer.
    controller->addModel("n", model("n.osg"), 1, false);
    EXPECT_EQ(controller->getNumLayers(), 4u);
    EXPECT_EQ(values(1), B({false}));
}

TEST_F(SceneController, ToggleHidesAPartlyVisibleLayerFirstThenShowsAllOfIt)
{
    controller->addModel("a", model("a.osg"), 0, true);
    controller->addModel("b", model("b.osg"), 0, false);
    controller->addModel("c", model("c.osg"), 0, true);
    release('0');
    EXPECT_EQ(values(0), B({false, false, false}));
    release('0');
    EXPECT_EQ(values(0), B({true, true, true}));
}

TEST_F(SceneController, AlternativesStepOneAtATimeAndWrapAround)
{
    controller->addModel("a", model("a.osg"), 2, true);
    controller->addModel("b", model("b.osg"), 2, true);
    controller->addModel("c", model("c.osg"), 2, true);
    controller->nextAlternative(2);
    EXPECT_EQ(values(2), B({false, true, false}));
    controller->nextAlternative(2);
    EXPECT_EQ(values(2), B({false, false, true}));
    controller->nextAlternative(2);
    EXPECT_EQ(values(2), B({true, false, false}));

    // None visible: the first one comes; the plain key then shows all.
    controller->toggleLayer(2);
    EXPECT_EQ(values(2), B({false, false, false}));
    controller->nextAlternative(2);
    EXPECT_EQ(values(2), B({true, false, false}));
    controller->toggleLayer(2);
    EXPECT_EQ(values(2), B({false, false, false}));
    controller->toggleLayer(2);
    EXPECT_EQ(values(2), B({true, true, true}));

    // Empty layers and layers that do not exist stay as they are.
    controller->nextAlternative(0);
    controller->toggleLayer(1);
    controller->nextAlternative(7);
    EXPECT_EQ(controller->getLayer(0)->getNumChildren(), 0u);
    EXPECT_EQ(controller->getNumLayers(), 3u);
}

TEST_F(SceneController, ModifiersButNotLockStatesTurnADigitIntoNextAlternative)
{
    controller->addModel("a", model("a.osg"), 0, true);
    controller->addModel("b", model("b.osg"), 0, false);
    using Event = osgGA::GUIEventAdapter;
    release('0', Event::MODKEY_ALT);
    EXPECT_EQ(values(0), B({false, true}));
    release('0', Event::MODKEY_LEFT_CTRL);
    EXPECT_EQ(values(0), B({true, false}));
    release('0', Event::MODKEY_ALT | Event::MODKEY_NUM_LOCK | Event::MODKEY_CAPS_LOCK);
    EXPECT_EQ(values(0), B({false, true}));
    // Lock states alone leave the digit a plain toggle.
    release('0', Event::MODKEY_NUM_LOCK);
    EXPECT_EQ(values(0), B({false, false}));
    release('0', Event::MODKEY_CAPS_LOCK);
    EXPECT_EQ(values(0), B({true, true}));
    release('0', Event::MODKEY_NUM_LOCK | Event::MODKEY_CAPS_LOCK);
    EXPECT_EQ(values(0), B({false, false}));

    // Only releases count.
    osg::ref_ptr<osgGA::GUIEventAdapter> press = new osgGA::GUIEventAdapter;
    press->setEventType(Event::KEYDOWN);
    press->setKey('0');
    controller->handle(*press, actions);
    EXPECT_EQ(values(0), B({false, false}));
}

// As a user types them, through the X server: Num Lock is on on most Linux desktops.
TEST_F(SceneController, DigitsTypedWithTheLocksOnToggleTheirLayerAndAltStepsThroughIt)
{
    tavritest::ViewerHarness h;
    const std::string a = model("a.osg"), b = model("b.osg");
    h.writeConfiguration("<Scene><Model name=\"a\" filename=\"" + a + "\" layerNum=\"1\" visible=\"1\"/>"
                         "<Model name=\"b\" filename=\"" + b + "\" layerNum=\"1\" visible=\"1\"/></Scene>\n" +
                         tavritest::smallWindowConfiguration());
    h.setup();
    h.frame();
    osg::Switch* layer = h.sceneController()->getLayer(1);
    ASSERT_NE(layer, nullptr);
    auto shown = [&] { return B({layer->getValue(0), layer->getValue(1)}); };
    const std::string window = std::to_string(dynamic_cast<osgViewer::GraphicsWindowX11*>(h.window())->getWindow());
    auto type = [&](const std::string& keys, const B& expected) {
        ASSERT_EQ(tavritest::shell("xdotool windowfocus --sync " + window + " " + keys), 0) << keys;
        EXPECT_TRUE(tavritest::frameUntil(h, [&] { return shown() == expected; }, 400)) << keys;
    };

    type("key Num_Lock key 1", B({false, false}));
    type("key Caps_Lock key Scroll_Lock key 1", B({true, true}));
    type("keydown alt key 1 keyup alt", B({false, true}));
    type("keydown alt key 1 keyup alt", B({true, false}));
    type("key Num_Lock key Caps_Lock key Scroll_Lock key 1", B({false, false}));
}

TEST_F(SceneController, UnsupportedExtensionsAreRefusedWhateverTheirCase)
{
    tavritest::NotifyCapture capture(osg::WARN);
    tavritest::writeFile(temp.file("Plan.PNG"), "not a model");
    controller->handle(*osgTAVRI::createDropEvent({temp.file("Plan.PNG")}), actions);
    EXPECT_TRUE(capture.contains("Unsupported file dropped " + temp.file("Plan.PNG"), osg::WARN)) << capture.all();
    EXPECT_EQ(controller->getNumModels(), 0u);
    EXPECT_EQ(controller->getNumLayers(), 0u);

    // A real .ive file with an upper-case extension loads.
    const std::string ive = model("bridge.ive");
    std::filesystem::rename(ive, temp.file("Bridge.IVE"));
    controller->handle(*osgTAVRI::createDropEvent({temp.file("Bridge.IVE")}), actions);
    EXPECT_EQ(controller->getNumModels(), 1u);
    EXPECT_EQ(controller->getNumLayers(), 1u);
    for (const char* name : {"a.OSG", "b.Zip", "c.DXF", "d.3Ds", "e.curl", "f.ive"})
        EXPECT_TRUE(osgTAVRI::SceneController::isSupportedExtension(name)) << name;
    for (const char* name : {"a.osgt", "b.obj", "c", "d.ive.png", "ive"})
        EXPECT_FALSE(osgTAVRI::SceneController::isSupportedExtension(name)) << name;
}

TEST_F(SceneController, AMissingFileIsAnnouncedThenReportedAndTheNextStillLoads)
{
    tavritest::NotifyCapture capture(osg::NOTICE);
    controller->addModel("ghost", temp.file("ghost.ive"), 2, true);
    controller->addModel("real", model("real.osg"), 0, true);

    std::vector<std::string> ours;
    for (const auto& line : capture.lines())
        if (line.text.find("Laddar") == 0 || line.text.find("Unable to load model") == 0)
            ours.push_back(line.text);
    EXPECT_EQ(ours, std::vector<std::string>({"Laddar ghost", "Unable to load model " + temp.file("ghost.ive"),
                                              "Laddar real"}));
    // The configured model stays recorded, so that saving keeps it, but adds nothing to the scene.
    ASSERT_EQ(controller->getNumModels(), 2u);
    EXPECT_EQ(controller->getModel(0).node, nullptr);
    EXPECT_EQ(controller->getModel(0).layerNum, 2);
    EXPECT_EQ(controller->getModel(1).name, "real");
    EXPECT_EQ(controller->getNumLayers(), 1u) << "a failed model must not create its layer";
}

TEST_F(SceneController, SameFileDroppedTwiceGivesTwoRecordsSharingOneNode)
{
    const std::string path = model("Bridge.osg");
    const std::string other = model("Pier.osg");
    controller->addModel("first", other, 1, false);
    controller->handle(*osgTAVRI::createDropEvent({path, path}), actions);

    ASSERT_EQ(controller->getNumModels(), 3u);
    for (unsigned int i = 1; i < 3; ++i)
    {
        std::string name, filename;
        int layer = -1;
        bool visible = false;
        controller->getModelInfo(i, name, filename, layer, visible);
        EXPECT_EQ(name, "Bridge");
        EXPECT_EQ(filename, path);
        EXPECT_EQ(layer, 0);
        EXPECT_TRUE(visible);
    }
    osg::Switch* layer0 = controller->getLayer(0);
    ASSERT_EQ(layer0->getNumChildren(), 2u);
    EXPECT_EQ(layer0->getChild(0), layer0->getChild(1)) << "the second read must come from the cache";
    EXPECT_EQ(values(0), B({true, true}));
}

TEST_F(SceneController, DropEventsCarryTheirPathsInOrder)
{
    const std::vector<std::string> paths = {"/a/b c.ive", "/x/ä.osg", "/x/a.zip"};
    osg::ref_ptr<osgGA::GUIEventAdapter> drop = osgTAVRI::createDropEvent(paths);
    EXPECT_TRUE(osgTAVRI::isDropEvent(*drop));
    EXPECT_EQ(osgTAVRI::getDropFiles(*drop), paths);
    osg::ref_ptr<osgGA::GUIEventAdapter> key = new osgGA::GUIEventAdapter;
    key->setEventType(osgGA::GUIEventAdapter::KEYUP);
    EXPECT_TRUE(osgTAVRI::getDropFiles(*key).empty());
    // Other user events are not drops, and do not reach the loader.
    osg::ref_ptr<osgGA::GUIEventAdapter> user = new osgGA::GUIEventAdapter;
    user->setEventType(osgGA::GUIEventAdapter::USER);
    user->setUserData(new osg::Group);
    EXPECT_FALSE(osgTAVRI::isDropEvent(*user));
    EXPECT_TRUE(osgTAVRI::getDropFiles(*user).empty());
    controller->handle(*user, actions);
    EXPECT_EQ(controller->getNumModels(), 0u);
}

TEST_F(SceneController, StoredPathsAreRelativeToBin)
{
    const auto stored = &osgTAVRI::SceneController::storedPath;
    EXPECT_EQ(stored("/inst/Content/Bridge.ive", "/inst/Bin"), "../Content/Bridge.ive");
    EXPECT_EQ(stored("/inst/Content/Bridge.ive", "/inst/Bin/"), "../Content/Bridge.ive");
    EXPECT_EQ(stored("/data/Binaries/inst/x.ive", "/data/Binaries/inst/Bin"), "../x.ive");
    EXPECT_EQ(stored("/elsewhere/x.ive", "/inst/Bin"), "/elsewhere/x.ive");
    EXPECT_EQ(stored("/instrument/x.ive", "/inst/Bin"), "/instrument/x.ive");
    EXPECT_EQ(stored("../Content/x.ive", "/inst/Bin"), "../Content/x.ive");
    // Outside a Bin folder nothing is shortened: the path must still lead to the file.
    EXPECT_EQ(stored("/home/u/x.ive", "/home/u"), "/home/u/x.ive");
    EXPECT_EQ(stored("/Binaries/x.ive", "/Binaries"), "/Binaries/x.ive");

    // And as the controller records a dropped file, run from a real Bin folder; a configured
    // model keeps the path it was configured with.
    std::filesystem::create_directories(temp.file("Bin"));
    const std::string path = model("Content/Bridge.osg");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(temp.file("Bin").c_str()), 0);
    controller->handle(*osgTAVRI::createDropEvent({path}), actions);
    controller->addModel("Bridge", path, 0, true);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_EQ(controller->getNumModels(), 2u);
    EXPECT_EQ(controller->getModel(0).filename, "../Content/Bridge.osg");
    EXPECT_EQ(controller->getModel(1).filename, path);
}

TEST_F(SceneController, FirstEventRegistersTheZipPasswordAndStartsTheAskedContent)
{
    int infoCalls = 0, powerCalls = 0;
    controller->setInfoPointsBuilder([&](osgTAVRI::SceneController&) {
        ++infoCalls;
        osg::ref_ptr<osg::Node> n = new osg::Group;
        n->setName("InfoPoints");
        return n;
    });
    controller->setPowerlineBuilder([&](osgTAVRI::SceneController&) {
        ++powerCalls;
        return osg::ref_ptr<osg::Node>();
    });
    controller->setLoadInfoPoints(true);
    controller->setGeneratePowerline(false);

    osg::ref_ptr<osgGA::GUIEventAdapter> frame = new osgGA::GUIEventAdapter;
    frame->setEventType(osgGA::GUIEventAdapter::FRAME);
    EXPECT_FALSE(controller->handle(*frame, actions));
    EXPECT_FALSE(controller->handle(*frame, actions));
    EXPECT_TRUE(controller->isInitialised());
    controller->mergeContent(true);
    EXPECT_FALSE(controller->isContentPending());
    EXPECT_EQ(infoCalls, 1);
    EXPECT_EQ(powerCalls, 0);
    ASSERT_EQ(scene->getNumChildren(), 1u);
    EXPECT_EQ(scene->getChild(0)->getName(), "InfoPoints");

    const osgDB::AuthenticationMap* map = osgDB::Registry::instance()->getAuthenticationMap();
    ASSERT_NE(map, nullptr);
    const osgDB::AuthenticationDetails* details = map->getAuthenticationDetails("ZipPlugin");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->username, "");
    EXPECT_EQ(details->password, "mossrock");
    EXPECT_EQ(details->httpAuthentication, osgDB::AuthenticationDetails::BASIC);

    // A map that is already there is left alone.
    osg::ref_ptr<osgDB::AuthenticationMap> own = new osgDB::AuthenticationMap;
    osgDB::Registry::instance()->setAuthenticationMap(own.get());
    osg::ref_ptr<osgTAVRI::SceneController> second = new osgTAVRI::SceneController(new osg::Group);
    second->setupContent();
    EXPECT_EQ(osgDB::Registry::instance()->getAuthenticationMap(), own.get());
    EXPECT_EQ(own->getAuthenticationDetails("ZipPlugin"), nullptr);
}

TEST_F(SceneController, AConfiguredProtectedArchiveLoadsBeforeTheFirstEvent)
{
    osgDB::Registry::instance()->getLibraryFilePathList().push_front(tavritest::buildDir());
    const std::string dir = temp.file("zipped");
    model("zipped/Site.osg");
    ASSERT_EQ(tavritest::shell("cd " + dir + " && zip -q -P mossrock ../Site.zip Site.osg"), 0);
    controller->addModel("Site", temp.file("Site.zip"), 0, true);
    ASSERT_EQ(controller->getNumModels(), 1u);
    EXPECT_EQ(controller->getModel(0).node->getName(), "Site");
}
