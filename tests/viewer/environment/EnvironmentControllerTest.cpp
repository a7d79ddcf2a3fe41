#include "tests/viewer/ViewerHarness.h"

#include "tests/viewer/environment/WaterFixture.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/environment/sea/PlanarReflection.h"
#include "viewer/environment/sea/SeaDrawable.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/TAVRIview.h"

#include <osg/Geode>
#include <osg/Light>
#include <osg/LightSource>
#include <osg/ShapeDrawable>
#include <osgViewer/View>

using tavritest::ViewerHarness;

namespace
{
const char* smallWindow = "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>";

std::vector<osg::LightSource*> lightSources(osg::Group* scene)
{
    std::vector<osg::LightSource*> sources;
    for (unsigned int i = 0; i < scene->getNumChildren(); ++i)
        if (osg::LightSource* source = dynamic_cast<osg::LightSource*>(scene->getChild(i)))
            sources.push_back(source);
    return sources;
}

using tavritest::pixel;

// A white box that fills the middle of the view of the default home (eye at the origin, looking north).
void addBoxAhead(osg::Group* scene)
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    osg::ref_ptr<osg::ShapeDrawable> box = new osg::ShapeDrawable(new osg::Box(osg::Vec3(0.0f, 10.0f, 0.0f), 4.0f));
    box->setColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    geode->addDrawable(box);
    scene->addChild(geode);
}
} // namespace

TEST(EnvironmentController, TheFirstEventAddsTwoLightsAndSwitchesThemOn)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    EXPECT_TRUE(lightSources(h.scene()).empty());
    EXPECT_FALSE(h.environmentController()->isInitialised());

    h.frame(3);
    std::vector<osg::LightSource*> sources = lightSources(h.scene());
    ASSERT_EQ(sources.size(), 2u);
    const osg::Light* main = sources[0]->getLight();
    const osg::Light* counter = sources[1]->getLight();
    EXPECT_EQ(main->getLightNum(), 0);
    EXPECT_EQ(main->getAmbient(), osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f));
    EXPECT_EQ(main->getDiffuse(), osg::Vec4(0.4f, 0.4f, 0.4f, 1.0f));
    EXPECT_EQ(main->getPosition(), osg::Vec4(-1.0f, -1.0f, 2.0f, 0.0f));
    osg::ref_ptr<osg::Light> stock = new osg::Light;
    EXPECT_EQ(main->getSpecular(), stock->getSpecular());
    EXPECT_EQ(counter->getLightNum(), 1);
    EXPECT_EQ(counter->getAmbient(), osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f));
    EXPECT_EQ(counter->getDiffuse(), osg::Vec4(0.2f, 0.2f, 0.2f, 0.5f));
    EXPECT_EQ(counter->getPosition(), osg::Vec4(1.0f, 1.0f, -2.0f, 0.0f));

    const osg::StateSet* state = h.scene()->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->getMode(GL_LIGHTING) & osg::StateAttribute::ON, osg::StateAttribute::ON);
    EXPECT_EQ(state->getMode(GL_LIGHT0) & osg::StateAttribute::ON, osg::StateAttribute::ON);
    EXPECT_EQ(state->getMode(GL_LIGHT1) & osg::StateAttribute::ON, osg::StateAttribute::ON);
    EXPECT_TRUE(h.environmentController()->isInitialised());
    // No water: nothing beside "Scene" under "SceneRoot".
    EXPECT_EQ(h.sceneRoot()->getNumChildren(), 1u);
}

TEST(EnvironmentController, TheBackgroundIsTheClearColour)
{
    ViewerHarness h;
    h.writeConfiguration(std::string(smallWindow) +
                         "<Environment backgroundColorRed=\"0.2\" backgroundColorGreen=\"0.4\" "
                         "backgroundColorBlue=\"0.6\"/>");
    h.setup();
    h.frame();
    osg::ref_ptr<osg::Image> image = h.readPixels();
    ASSERT_TRUE(image.valid());
    ASSERT_EQ(image->s(), 320);
    osg::Vec3i corner = pixel(image.get(), 5, 5);
    EXPECT_NEAR(corner.x(), 51, 2);
    EXPECT_NEAR(corner.y(), 102, 2);
    EXPECT_NEAR(corner.z(), 153, 2);

    // At run time the colour changes at once.
    h.environmentController()->setBackgroundColor(osg::Vec4f(1.0f, 0.0f, 0.0f, 1.0f));
    image = h.readPixels();
    ASSERT_TRUE(image.valid());
    EXPECT_EQ(pixel(image.get(), 5, 5), osg::Vec3i(255, 0, 0));
}

// The two lights shade a white box; F5 switches lighting off (the box turns full white) and on.
TEST(EnvironmentController, F5SwitchesTheLightingOfTheSceneOffAndOn)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    addBoxAhead(h.scene());
    h.frame(2);
    osg::ref_ptr<osg::Image> lit = h.readPixels();
    ASSERT_TRUE(lit.valid());
    osg::Vec3i shaded = pixel(lit.get(), 160, 120);
    EXPECT_GT(shaded.x(), 20);
    EXPECT_LT(shaded.x(), 200);
    EXPECT_EQ(shaded.x(), shaded.y());
    EXPECT_EQ(shaded.y(), shaded.z());

    h.key(osgGA::GUIEventAdapter::KEY_F5);
    osg::ref_ptr<osg::Image> unlit = h.readPixels();
    ASSERT_TRUE(unlit.valid());
    EXPECT_EQ(pixel(unlit.get(), 160, 120), osg::Vec3i(255, 255, 255));

    h.key(osgGA::GUIEventAdapter::KEY_F5);
    osg::ref_ptr<osg::Image> again = h.readPixels();
    ASSERT_TRUE(again.valid());
    EXPECT_EQ(pixel(again.get(), 160, 120), shaded);
}

TEST(EnvironmentController, BackFacesAreCulledAtStartAndF7ShowsThem)
{
    ViewerHarness h;
    h.writeConfiguration(smallWindow);
    h.setup();
    h.frame();
    const osg::StateSet* state = h.scene()->getStateSet();
    EXPECT_EQ(state->getMode(GL_CULL_FACE) & osg::StateAttribute::ON, osg::StateAttribute::ON);
    h.key(osgGA::GUIEventAdapter::KEY_F7);
    h.frame();
    EXPECT_EQ(h.scene()->getStateSet()->getMode(GL_CULL_FACE) & osg::StateAttribute::ON, 0u);
}

TEST(EnvironmentController, PassesEveryEventOn)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    osg::ref_ptr<osgTAVRI::EnvironmentController> controller = new osgTAVRI::EnvironmentController(camera, scene);
    // Nothing is touched before the first event.
    EXPECT_EQ(scene->getNumChildren(), 0u);
    EXPECT_EQ(scene->getStateSet(), nullptr);

    osg::ref_ptr<osgViewer::View> view = new osgViewer::View;
    osg::ref_ptr<osgGA::GUIEventAdapter> event = new osgGA::GUIEventAdapter;
    event->setEventType(osgGA::GUIEventAdapter::KEYDOWN);
    for (int key : {int(osgGA::GUIEventAdapter::KEY_F4), int(osgGA::GUIEventAdapter::KEY_F7), int('w')})
    {
        event->setKey(key);
        EXPECT_FALSE(controller->handle(*event, *view));
    }
    event->setHandled(true);
    EXPECT_FALSE(controller->handle(*event, *view));
    // Set up once only.
    EXPECT_EQ(scene->getNumChildren(), 2u);
    EXPECT_EQ(camera->getClearColor(), osg::Vec4(0.8f, 0.8f, 1.0f, 1.0f));
}

// With water, "SceneRoot" gets the reflection camera and then the sky box beside "Scene", and
// "Scene" gets the sea last, in a geode that the reflection does not see and that is never
// culled. None of it counts in the initial flight speed, which the models alone set.
TEST(EnvironmentController, WaterAddsReflectionSkyAndSeaWithoutChangingTheSpeed)
{
    double speed[2] = {0.0, 0.0};
    for (bool water : {false, true})
    {
        ViewerHarness h;
        tavritest::installSeaData(h);
        h.writeConfiguration(tavritest::waterConfiguration(osg::Vec3d(0, -300, 50), osg::Vec3d(0, 0, 0), water));
        h.setup();
        h.scene()->addChild(tavritest::unlitBox(osg::Vec3(0.0f, 0.0f, 10.0f), 100.0f, osg::Vec4(1, 1, 1, 1)));
        h.frame(2);
        speed[water] = h.navigationController()->getSpeed();
        if (!water)
        {
            EXPECT_EQ(h.sceneRoot()->getNumChildren(), 1u);
            EXPECT_EQ(tavritest::findSea(h.scene()), nullptr);
            continue;
        }
        ASSERT_EQ(h.sceneRoot()->getNumChildren(), 3u);
        auto* reflection = dynamic_cast<osgTAVRI::PlanarReflection*>(h.sceneRoot()->getChild(1));
        ASSERT_NE(reflection, nullptr);
        EXPECT_EQ(reflection->getCullMask(), 0x7FFFFFFFu);
        EXPECT_EQ(reflection->getRenderOrder(), osg::Camera::PRE_RENDER);
        EXPECT_EQ(reflection->getRenderTargetImplementation(), osg::Camera::FRAME_BUFFER_OBJECT);
        EXPECT_EQ(reflection->getReflectionTexture()->getTextureWidth(), 1024);
        osg::StateSet* sky = h.sceneRoot()->getChild(2)->asGroup()->getChild(0)->asGroup()->getChild(0)->getStateSet();
        ASSERT_NE(sky, nullptr);
        EXPECT_EQ(sky->getBinNumber(), -1);

        osg::Node* ocean = h.scene()->getChild(h.scene()->getNumChildren() - 1);
        EXPECT_EQ(ocean->getNodeMask(), 0x80000000u);
        EXPECT_FALSE(ocean->getCullingActive());
        ASSERT_NE(tavritest::findSea(h.scene()), nullptr);
    }
    EXPECT_GT(speed[0], 0.0);
    EXPECT_DOUBLE_EQ(speed[1], speed[0]);
}
