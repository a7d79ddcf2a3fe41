#include "tests/viewer/ViewerHarness.h"
#include "tests/viewer/content/ContentTree.h"
#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/TAVRIview.h"
#include "viewer/content/builders/InfoPointsBuilder.h"
#include "viewer/content/builders/PowerlineBuilder.h"
#include "viewer/environment/sea/SeaDrawable.h"
#include "viewer/recording/PathFile.h"
#include "viewer/scene/SceneController.h"

#include <osg/AnimationPath>
#include <osgDB/ReadFile>

#include <future>

using namespace tavritest;

namespace
{
// Holds the content builders back until it is opened; opens when it goes, so that a failed
// test does not leave a build waiting for ever.
class Gate
{
public:
    Gate() : opened(promise.get_future().share()) {}
    ~Gate() { open(); }
    void open()
    {
        if (!isOpen)
            promise.set_value();
        isOpen = true;
    }
    std::shared_future<void> waiter() const { return opened; }

private:
    std::promise<void> promise;
    std::shared_future<void> opened;
    bool isOpen = false;
};

// The demo's information points and power line, with its fonts and sea data, in a tree
// whose configuration asks for them; a small window, no help page.
void installDemoContent(ViewerHarness& h, const std::string& environment)
{
    const std::string dist = distDir();
    for (const char* folder : {"Content/InfoPoints", "Content/Powerline", "Resources/Fonts", "Resources/Images"})
        h.copyIntoTree(dist + "/" + folder, folder);
    installSeaData(h);
    h.writeConfiguration("<Scene loadInfoPoints=\"1\" generatePowerline=\"1\"/>\n" + environment +
                         "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n");
}

bool demoInstalled()
{
    return fileExists(distDir() + "/Content/Powerline/Koordinatlista_Stolpar_TavriView.txt") &&
           fileExists(distDir() + "/Content/InfoPoints");
}

unsigned int pylons(osg::Group* scene) { return static_cast<unsigned int>(findNamed(scene, "Pylon ").size()); }
} // namespace

// The real viewer on the demo's content, its builds held back: frames are drawn while the
// content is still being built, and nothing of it is in the scene. Once the builds may end,
// a screenshot key waits for them, so that the frame it captures holds the whole scene; F3
// still writes the content's settings.
TEST(BackgroundBuild, FramesGoOnWhileTheContentIsBuiltAndAScreenshotWaitsForIt)
{
    if (!demoInstalled())
        GTEST_SKIP() << "no demo content in " << distDir() << " (make dist lays it out)";
    ViewerHarness h;
    installDemoContent(h, "<Environment enableWater=\"1\" seaState=\"3\" windDirection=\"250\"/>\n");
    h.setup();
    Gate gate;
    std::shared_future<void> waiter = gate.waiter();
    h.sceneController()->setInfoPointsBuilder([waiter](osgTAVRI::SceneController&) -> osg::ref_ptr<osg::Node> {
        waiter.wait();
        return osgTAVRI::createInfoPoints();
    });
    h.sceneController()->setPowerlineBuilder([waiter](osgTAVRI::SceneController&) -> osg::ref_ptr<osg::Node> {
        waiter.wait();
        return osgTAVRI::PowerlineBuilder().build();
    });

    for (int i = 0; i < 3; ++i)
        h.viewer().frame();
    EXPECT_EQ(h.viewer().getFrameStamp()->getFrameNumber(), 3u);
    EXPECT_TRUE(h.app().isContentPending());
    EXPECT_TRUE(h.sceneController()->isInitialised());
    EXPECT_EQ(pylons(h.scene()), 0u);
    EXPECT_TRUE(findNamed(h.scene(), "Jarnvag").empty());

    // Nothing can have joined yet: the next frame's screenshot key is what waits.
    gate.open();
    EXPECT_TRUE(h.sceneController()->isContentPending());
    h.key(osgGA::GUIEventAdapter::KEY_F12);
    h.viewer().frame();
    EXPECT_FALSE(h.app().isContentPending());
    EXPECT_GT(pylons(h.scene()), 1u);
    EXPECT_EQ(findNamed(h.scene(), "Jarnvag").size(), 1u);
    osgTAVRI::SeaDrawable* sea = findSea(h.scene());
    ASSERT_NE(sea, nullptr);
    EXPECT_NE(sea->getOcean(), nullptr) << "the captured frame drew the sea";
    osg::ref_ptr<osg::Image> shot = osgDB::readImageFile(h.rootDir() + "/TAVRIview_0_0.jpg");
    ASSERT_TRUE(shot.valid()) << "no screenshot beside Bin";

    // The content joined once: more frames add nothing.
    const unsigned int children = h.scene()->getNumChildren();
    h.frame(2);
    EXPECT_EQ(h.scene()->getNumChildren(), children);

    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.frame();
    const std::string saved = readFile(h.configurationPath());
    EXPECT_NE(saved.find("loadInfoPoints=\"1\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("generatePowerline=\"1\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("enableWater=\"1\""), std::string::npos) << saved;
}

// The installed program's video mode waits for the content like it waits for the pager: its
// very first frame, looking at the demo's first pylon against a red sky (and no terrain),
// shows the pylon.
TEST(BackgroundBuild, TheFirstFrameOfAVideoShowsTheContent)
{
    ensureDisplay();
    const std::string program = distDir() + "/Bin/TAVRIview";
    if (!demoInstalled() || !fileExists(program))
        GTEST_SKIP() << "no installed viewer and demo content in " << distDir() << " (make dist lays them out)";
    ViewerHarness h;
    installDemoContent(h, "<Environment backgroundColorRed=\"1\" backgroundColorGreen=\"0\" "
                          "backgroundColorBlue=\"0\"/>\n");
    // 120 m south of the pylon at (100100, 6401000), looking north.
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    const osg::Quat north(osg::PI_2, osg::X_AXIS);
    for (int i = 0; i < 2; ++i)
        flight->insert(0.1 * i, osg::AnimationPath::ControlPoint(osg::Vec3d(100100.0, 6400880.0, 45.0), north));
    const std::string path = h.contentDir() + "/pylon.path";
    ASSERT_TRUE(osgTAVRI::PathFile::write(*flight, path));

    const std::string video = h.contentDir() + "/pylon.mp4";
    const RunResult result =
        run({program, "--video", path, video, "--size", "320x240", "--fps", "10", "--noOverlay"}, h.binDir(), 240.0);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string picture = h.contentDir() + "/frame0.png";
    const RunResult decoded = run({toolPath("VideoFrames"), video, "0", picture});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    osg::ref_ptr<osg::Image> frame = osgDB::readImageFile(picture);
    ASSERT_TRUE(frame.valid());

    int notSky = 0;
    for (int y = 0; y < frame->t(); ++y)
        for (int x = 0; x < frame->s(); ++x)
        {
            const osg::Vec3i p = pixel(frame.get(), x, y);
            notSky += p.x() < 160 || p.y() > 90 || p.z() > 90;
        }
    // Without the content every pixel is sky; the slim mast and its number cover a few hundred.
    EXPECT_GT(notSky, 150) << "the first frame shows no pylon";
}
