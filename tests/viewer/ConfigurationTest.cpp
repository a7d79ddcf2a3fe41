#include "tests/viewer/SceneProbe.h"
#include "tests/viewer/ViewerHarness.h"
#include "tests/viewer/overlay/OverlayFixture.h"
#include "viewer/ConfigurationFile.h"
#include "viewer/scene/DropFiles.h"

#include "viewer/environment/EnvironmentController.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/scene/SceneController.h"
#include "viewer/TAVRIview.h"
#include "viewer/window/WindowController.h"

#include <osg/DisplaySettings>
#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgDB/WriteFile>
#include <osgText/Text>

#include <filesystem>
#include <regex>

#include <csignal>
#include <sys/resource.h>

using tavritest::NotifyCapture;
using tavritest::ViewerHarness;
using osgTAVRI::WindowSettings;
namespace fs = std::filesystem;

namespace
{

void lookAt(ViewerHarness& h, osg::Vec3d& eye, osg::Vec3d& center)
{
    h.navigationController()->getCurrentLookAt(eye, center);
}

// Presses F3 and returns what was written.
std::string save(ViewerHarness& h)
{
    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.frame();
    return tavritest::readFile(h.configurationPath());
}

// The defaults of a missing file, as the controllers hold them after start-up.
void expectDefaults(ViewerHarness& h)
{
    WindowSettings w = h.windowSettings();
    EXPECT_EQ(w.title, "TAVRIview 1.02");
    EXPECT_EQ(w.width, 1024);
    EXPECT_EQ(w.height, 768);
    EXPECT_EQ(w.x, (1280 - 1024) / 2);
    EXPECT_EQ(w.y, (1024 - 768) / 2);
    EXPECT_FALSE(w.fullscreen);
    EXPECT_FALSE(w.maximized);
    EXPECT_EQ(w.screenNum, 0u);

    osgTAVRI::EnvironmentController* env = h.environmentController();
    EXPECT_EQ(env->getBackgroundColor(), osg::Vec4f(0.8f, 0.8f, 1.0f, 1.0f));
    EXPECT_FALSE(env->getWaterEnabled());
    EXPECT_DOUBLE_EQ(env->getSeaState(), 3.0);
    EXPECT_DOUBLE_EQ(env->getWindDirection(), 250.0);

    EXPECT_FALSE(h.overlayController()->getUseGeoCoords());
    EXPECT_EQ(h.overlayController()->getCoordinateOffset(), osg::Vec3d());
    EXPECT_FALSE(h.sceneController()->getLoadInfoPoints());
    EXPECT_FALSE(h.sceneController()->getGeneratePowerline());
    EXPECT_EQ(h.sceneController()->getNumModels(), 0u);

    osg::Vec3d eye, center;
    lookAt(h, eye, center);
    EXPECT_NEAR((eye - osg::Vec3d(0, 0, 0)).length(), 0.0, 1e-6);
    EXPECT_NEAR((center - osg::Vec3d(0, 10, 0)).length(), 0.0, 1e-6);
}

void writeBox(const std::string& path)
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(), 1.0f)));
    ASSERT_TRUE(osgDB::writeNodeFile(*geode, path));
}

// Started again from `saved`, with the named box models in Content, the viewer saves the same.
void expectARestartSavesTheSame(const std::string& saved, const std::vector<std::string>& boxes)
{
    ViewerHarness h;
    for (const std::string& box : boxes)
        writeBox(h.contentDir() + "/" + box);
    h.writeConfiguration(saved);
    h.setup();
    h.frame();
    EXPECT_EQ(save(h), saved);
}

// Element names of the written file in document order.
std::vector<std::string> elementNames(const std::string& text)
{
    std::vector<std::string> names;
    std::regex element("<([A-Za-z]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

std::vector<std::string> attributeNames(const std::string& text, const std::string& elementName)
{
    std::vector<std::string> names;
    std::smatch match;
    if (!std::regex_search(text, match, std::regex("<" + elementName + "([^>]*)>")))
        return names;
    const std::string attributes = match[1];
    std::regex attribute("([A-Za-z]+)=\"");
    for (auto it = std::sregex_iterator(attributes.begin(), attributes.end(), attribute); it != std::sregex_iterator();
         ++it)
        names.push_back((*it)[1]);
    return names;
}

// The Model elements of a written file, each as its text.
std::vector<std::string> modelElements(const std::string& text)
{
    std::vector<std::string> models;
    std::regex model("<Model [^>]*/>");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), model); it != std::sregex_iterator(); ++it)
        models.push_back(it->str());
    return models;
}

std::string attribute(const std::string& text, const std::string& elementName, const std::string& name)
{
    std::smatch match;
    if (std::regex_search(text, match, std::regex("<" + elementName + "[^>]*\\s" + name + "=\"([^\"]*)\"")))
        return match[1];
    return "<absent>";
}

const char* fullConfiguration = R"(<Overlay useGeoCoords="1" offsetX="6500000" offsetY="1500000" offsetZ="-12.5"/>
<Scene loadInfoPoints="0" generatePowerline="0" pagedMemory="6144">
    <Model name="Box one" filename="../Content/box.osg" layerNum="0" visible="1"/>
    <Model name="Box &amp; two" filename="../Content/box2.osg" layerNum="2" visible="0"/>
</Scene>
<Environment backgroundColorRed="0.25" backgroundColorGreen="0.5" backgroundColorBlue="0.75" enableWater="1" seaState="4.5" windDirection="90"/>
<Navigation homeEyeX="100" homeEyeY="-200" homeEyeZ="50" homeCenterX="100" homeCenterY="-150" homeCenterZ="50"/>
<Window title="Projekt &lt;Nord&gt;" x="40" y="30" width="800" height="600" maximized="0" fullscreen="0" screenNum="0" numSamples="0" stereo="0"/>
)";
} // namespace

TEST(Configuration, MissingFileGivesTheDocumentedDefaults)
{
    NotifyCapture notes;
    ViewerHarness h;
    h.setup();
    h.frame();
    expectDefaults(h);

    // The version notice comes before the configuration is read.
    std::vector<NotifyCapture::Line> lines = notes.lines();
    int notice = -1, missing = -1;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (notice < 0 && lines[i].text == "TAVRIview 1.02" && lines[i].severity == osg::NOTICE)
            notice = static_cast<int>(i);
        if (missing < 0 && lines[i].text == "No configuration file found, using defaults")
            missing = static_cast<int>(i);
    }
    ASSERT_GE(notice, 0) << notes.all();
    ASSERT_GE(missing, 0) << notes.all();
    EXPECT_LT(notice, missing);
    EXPECT_EQ(lines[missing].severity, osg::INFO);
}

TEST(Configuration, ElementsInsideAnEnclosingElementAreNotFound)
{
    ViewerHarness h;
    h.writeConfiguration("<Configuration>\n<Environment backgroundColorRed=\"0\" enableWater=\"1\"/>\n"
                         "<Window x=\"5\" y=\"5\" width=\"300\" height=\"200\"/>\n"
                         "<Navigation homeEyeX=\"9\" homeCenterX=\"9\"/>\n</Configuration>\n");
    h.setup();
    h.frame();
    expectDefaults(h);
}

TEST(Configuration, AnEnvironmentWithOnlyEnableWaterReadsMissingValuesAsZero)
{
    ViewerHarness h;
    h.writeConfiguration("<Environment enableWater=\"1\"/>");
    h.setup();
    osgTAVRI::EnvironmentController* env = h.environmentController();
    EXPECT_EQ(env->getBackgroundColor(), osg::Vec4f(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_TRUE(env->getWaterEnabled());
    EXPECT_DOUBLE_EQ(env->getSeaState(), 0.0);
    EXPECT_DOUBLE_EQ(env->getWindDirection(), 0.0);
    EXPECT_EQ(h.viewer().getCamera()->getClearColor(), osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST(Configuration, EqualEyeAndCentreLookNorth)
{
    ViewerHarness h;
    h.writeConfiguration("<Navigation homeEyeX=\"5\" homeEyeY=\"6\" homeEyeZ=\"7\" homeCenterX=\"5\" "
                         "homeCenterY=\"6\" homeCenterZ=\"7\"/>");
    h.setup();
    h.frame();
    osg::Vec3d eye, center;
    lookAt(h, eye, center);
    EXPECT_NEAR((eye - osg::Vec3d(5, 6, 7)).length(), 0.0, 1e-6);
    EXPECT_NEAR((center - osg::Vec3d(5, 16, 7)).length(), 0.0, 1e-6);
}

// Found by fuzzing: with six digits only, a view saved at national grid coordinates came back
// up to 5 m away, and moved again with every save.
TEST(Configuration, RealsAreWrittenWithSixSignificantDigitsOrAsManyAsTheValueNeeds)
{
    EXPECT_EQ(osgTAVRI::ConfigurationFile::formatReal(0.8f), "0.8");
    EXPECT_EQ(osgTAVRI::ConfigurationFile::formatReal(250.0), "250");
    EXPECT_EQ(osgTAVRI::ConfigurationFile::formatReal(6.5e6), "6.5e+06");
    std::string written;
    {
        ViewerHarness h;
        h.writeConfiguration("<Navigation homeEyeX=\"6543210.5\" homeEyeY=\"6399347\" homeEyeZ=\"0\" "
                             "homeCenterX=\"6543210.5\" homeCenterY=\"6399367\" homeCenterZ=\"0\"/>");
        h.setup();
        h.frame();
        written = save(h);
        EXPECT_EQ(attribute(written, "Navigation", "homeEyeX"), "6543210.5");
        EXPECT_EQ(attribute(written, "Navigation", "homeEyeY"), "6399347");
        // The centre is 10 units ahead, whatever the configured distance was.
        EXPECT_EQ(attribute(written, "Navigation", "homeCenterY"), "6399357");
        EXPECT_EQ(attribute(written, "Environment", "backgroundColorRed"), "0.8");
    }
    ViewerHarness again;
    again.writeConfiguration(written);
    again.setup();
    again.frame();
    osg::Vec3d eye, center;
    lookAt(again, eye, center);
    EXPECT_DOUBLE_EQ(eye.x(), 6543210.5);
    EXPECT_DOUBLE_EQ(eye.y(), 6399347.0);
    EXPECT_EQ(save(again), written);
}

TEST(Configuration, LoadSaveLoadKeepsTheStateAndTheOrder)
{
    std::string first;
    {
        ViewerHarness h;
        writeBox(h.contentDir() + "/box.osg");
        writeBox(h.contentDir() + "/box2.osg");
        h.writeConfiguration(fullConfiguration);
        h.setup();
        h.frame();
        EXPECT_TRUE(h.overlayController()->getUseGeoCoords());
        EXPECT_EQ(h.overlayController()->getCoordinateOffset(), osg::Vec3d(6500000.0, 1500000.0, -12.5));
        EXPECT_DOUBLE_EQ(h.sceneController()->getOffsetX(), 6500000.0);
        EXPECT_DOUBLE_EQ(h.sceneController()->getOffsetZ(), -12.5);
        EXPECT_EQ(h.sceneController()->getNumModels(), 2u);
        EXPECT_EQ(h.environmentController()->getBackgroundColor(), osg::Vec4f(0.25f, 0.5f, 0.75f, 1.0f));
        EXPECT_EQ(h.windowSettings().title, "Projekt <Nord>");
        first = save(h);
    }
    EXPECT_EQ(elementNames(first),
              (std::vector<std::string>{"Overlay", "Scene", "Model", "Model", "Environment", "Navigation", "Window"}));
    EXPECT_EQ(attributeNames(first, "Overlay"),
              (std::vector<std::string>{"useGeoCoords", "offsetX", "offsetY", "offsetZ"}));
    EXPECT_EQ(attributeNames(first, "Scene"), (std::vector<std::string>{"loadInfoPoints", "generatePowerline", "pagedMemory"}));
    EXPECT_EQ(attributeNames(first, "Model"), (std::vector<std::string>{"name", "filename", "layerNum", "visible"}));
    EXPECT_EQ(attributeNames(first, "Environment"),
              (std::vector<std::string>{"backgroundColorRed", "backgroundColorGreen", "backgroundColorBlue",
                                        "enableWater", "seaState", "windDirection"}));
    EXPECT_EQ(attributeNames(first, "Navigation"),
              (std::vector<std::string>{"homeEyeX", "homeEyeY", "homeEyeZ", "homeCenterX", "homeCenterY",
                                        "homeCenterZ"}));
    EXPECT_EQ(attributeNames(first, "Window"),
              (std::vector<std::string>{"title", "x", "y", "width", "height", "maximized", "fullscreen", "screenNum",
                                        "numSamples", "stereo"}));
    EXPECT_EQ(attribute(first, "Overlay", "useGeoCoords"), "1");
    EXPECT_EQ(attribute(first, "Overlay", "offsetX"), "6.5e+06");
    EXPECT_EQ(attribute(first, "Environment", "seaState"), "4.5");
    EXPECT_EQ(attribute(first, "Window", "title"), "Projekt &lt;Nord&gt;");
    EXPECT_EQ(attribute(first, "Window", "x"), "40");
    EXPECT_EQ(attribute(first, "Window", "width"), "800");
    EXPECT_NE(first.find("name=\"Box &amp; two\""), std::string::npos) << first;
    EXPECT_NE(first.find("layerNum=\"2\" visible=\"0\""), std::string::npos) << first;

    expectARestartSavesTheSame(first, {"box.osg", "box2.osg"});
}

// National grid offsets need more digits than a float holds: the readout and F3 keep them,
// so the power line, which subtracts the saved offset, stays where it was at the next start.
TEST(Configuration, TheOffsetKeepsEveryDigitInTheReadoutAndThroughF3)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, 320, 240,
                                "<Overlay useGeoCoords=\"1\" offsetX=\"150000.123\" offsetY=\"6500000.3\"/>"
                                "<Navigation homeEyeX=\"0\" homeEyeY=\"0\" homeEyeZ=\"10\" homeCenterX=\"0\" "
                                "homeCenterY=\"1\" homeCenterZ=\"10\"/>");
    osg::Geode* readout = tavritest::childGeode(h.overlayController()->getCoordinateTextTransform());
    ASSERT_NE(readout, nullptr);
    std::vector<std::string> lines;
    for (unsigned int i = 0; i < 2; ++i)
        lines.push_back(static_cast<osgText::Text*>(readout->getDrawable(i))->getText().createUTF8EncodedString());
    EXPECT_EQ(lines, (std::vector<std::string>{"N: 6500000.3", "E: 150000.1"}));

    const std::string written = save(h);
    EXPECT_EQ(attribute(written, "Overlay", "offsetX"), "150000.123");
    EXPECT_EQ(attribute(written, "Overlay", "offsetY"), "6500000.3");
}

TEST(Configuration, ValuesThatDoNotScanCountAsAbsent)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    h.writeConfiguration("<Overlay useGeoCoords=\"true\" offsetX=\"12abc\" offsetY=\"north\" offsetZ=\"4.2e37\"/>\n"
                         "<Environment backgroundColorRed=\"red\" backgroundColorGreen=\"0.5\" "
                         "enableWater=\"yes\" seaState=\"nan\" windDirection=\"7\"/>\n"
                         "<Window x=\"ten\" y=\"20\" width=\"640\" height=\"480\" fullscreen=\"false\" "
                         "numSamples=\"-1\" maximized=\"2\"/>\n");
    h.setup();
    h.frame();
    EXPECT_TRUE(h.overlayController()->getUseGeoCoords());
    EXPECT_EQ(h.overlayController()->getCoordinateOffset(), osg::Vec3d(12.0, 0.0, 0.0));
    osgTAVRI::EnvironmentController* env = h.environmentController();
    EXPECT_EQ(env->getBackgroundColor(), osg::Vec4f(0.0f, 0.5f, 0.0f, 1.0f));
    EXPECT_FALSE(env->getWaterEnabled());
    EXPECT_DOUBLE_EQ(env->getSeaState(), 0.0);
    EXPECT_DOUBLE_EQ(env->getWindDirection(), 7.0);
    WindowSettings w = h.windowSettings();
    EXPECT_EQ(w.x, 0);
    EXPECT_EQ(w.y, 20);
    EXPECT_EQ(w.numSamples, 0u);
    // Each unreadable value is named in one warning line.
    // Found by fuzzing: a coordinate of 4.2e37 left a camera whose saved view moved at every save.
    for (const char* name : {"offsetY", "offsetZ", "backgroundColorRed", "enableWater", "seaState", "numSamples"})
        EXPECT_TRUE(notes.contains(name, osg::WARN)) << name << "\n" << notes.all();
}

TEST(Configuration, UnusableWindowValuesFallBackToAWorkingWindow)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    h.writeConfiguration("<Window x=\"10\" y=\"10\" width=\"-5\" height=\"100000\" screenNum=\"7\" "
                         "numSamples=\"4294967295\"/>");
    h.setup();
    h.frame();
    ASSERT_NE(h.window(), nullptr);
    WindowSettings w = h.windowSettings();
    EXPECT_EQ(w.width, 1024);
    EXPECT_EQ(w.height, 768);
    EXPECT_EQ(w.screenNum, 0u);
    EXPECT_TRUE(notes.contains("Window size -5 x 100000", osg::WARN)) << notes.all();
    EXPECT_TRUE(notes.contains("Screen 7", osg::WARN)) << notes.all();
    EXPECT_TRUE(notes.contains("numSamples", osg::WARN)) << notes.all();
}

TEST(Configuration, AWindowElementWithoutSizeStillOpensAWindow)
{
    ViewerHarness h;
    h.writeConfiguration("<Window/>");
    h.setup();
    h.frame();
    ASSERT_NE(h.window(), nullptr);
    WindowSettings w = h.windowSettings();
    EXPECT_EQ(w.title, "TAVRIview 1.02");
    EXPECT_EQ(w.width, 1024);
    EXPECT_EQ(w.height, 768);
    EXPECT_EQ(w.x, 0);
    EXPECT_EQ(w.numSamples, 0u);
}

TEST(Configuration, ModelsWithoutFileOrWithABadLayerDoNotBreakTheScene)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    writeBox(h.contentDir() + "/box.osg");
    h.writeConfiguration("<Scene>\n<Model name=\"no file\" layerNum=\"1\" visible=\"1\"/>\n"
                         "<Model name=\"negative\" filename=\"../Content/box.osg\" layerNum=\"-3\" visible=\"1\"/>\n"
                         "<Model filename=\"../Content/box.osg\" layerNum=\"2000000000\" visible=\"1\"/>\n</Scene>");
    h.setup();
    h.frame();
    osgTAVRI::SceneController* scene = h.sceneController();
    ASSERT_EQ(scene->getNumModels(), 3u);
    EXPECT_EQ(scene->getModel(0).node, nullptr);
    EXPECT_EQ(scene->getModel(2).name, "../Content/box.osg");
    ASSERT_EQ(scene->getNumLayers(), 1u);
    EXPECT_EQ(scene->getLayer(0)->getNumChildren(), 2u);
    EXPECT_TRUE(scene->getLayer(0)->getValue(1));
    EXPECT_TRUE(notes.contains("Model no file names no file", osg::WARN)) << notes.all();
    EXPECT_TRUE(notes.contains("Layer -3 of model ../Content/box.osg is out of range", osg::WARN)) << notes.all();
    EXPECT_TRUE(notes.contains("Layer 2000000000", osg::WARN)) << notes.all();
}

class BrokenConfiguration : public testing::TestWithParam<std::string>
{
};

TEST_P(BrokenConfiguration, StartsWithDefaultsAndSaysWhy)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    h.writeConfiguration(GetParam());
    h.setup();
    h.frame(2);
    expectDefaults(h);
    int lines = 0;
    for (const NotifyCapture::Line& line : notes.lines())
        if (line.severity <= osg::WARN && line.text.find("Configuration.xml") != std::string::npos)
            ++lines;
    EXPECT_EQ(lines, 1) << notes.all();
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenConfiguration,
                         testing::Values(std::string("this is not XML at all"),
                                         std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\x01", 20),
                                         std::string("<Window width=\"640\" height="),
                                         std::string("<Window></Scene>"),
                                         std::string("")));

TEST(Configuration, AFolderInPlaceOfTheFileGivesDefaults)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    fs::create_directories(h.configurationPath());
    h.setup();
    h.frame();
    expectDefaults(h);
    EXPECT_TRUE(notes.contains("is not a file", osg::WARN)) << notes.all();
}

TEST(Configuration, AMissingResourcesFolderGivesDefaultsAndAFailedSave)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    fs::remove_all(h.resourcesDir());
    h.setup();
    h.frame();
    expectDefaults(h);
    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.frame();
    EXPECT_TRUE(notes.contains("Could not save configuration file to \"../Resources/Configuration.xml\"", osg::WARN))
        << notes.all();
    EXPECT_FALSE(fs::exists(h.resourcesDir()));
    // The viewer goes on.
    h.frame();
    EXPECT_FALSE(h.viewer().done());
}

// A full disk, imitated with the file-size limit: the save fails as a whole and the old file stays.
TEST(Configuration, AFailedSaveKeepsTheOldFile)
{
    const std::string old = "<!-- mine -->\n<Window x=\"10\" y=\"10\" width=\"640\" height=\"480\" numSamples=\"0\"/>\n";
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    h.writeConfiguration(old);
    h.setup();
    h.frame();

    struct rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    struct rlimit tiny = previous;
    tiny.rlim_cur = 64;
    void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.frame();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(tavritest::readFile(h.configurationPath()), old);
    EXPECT_EQ(tavritest::listDir(h.resourcesDir()), std::vector<std::string>{"Configuration.xml"});
    EXPECT_TRUE(notes.contains("Could not save configuration file to \"../Resources/Configuration.xml\"", osg::WARN));

    // With room again the next F3 replaces it.
    EXPECT_NE(save(h), old);
}

TEST(Configuration, SavesTheWindowAsItIsNow)
{
    ViewerHarness h;
    h.writeConfiguration("<Window x=\"100\" y=\"100\" width=\"640\" height=\"480\" numSamples=\"0\"/>");
    h.setup();
    h.frame();

    // Dragged partly off the screen to the left and top: written as 0.
    h.resizeWindow(-50, -20, 640, 480);
    h.frame(2);
    std::string text = save(h);
    EXPECT_EQ(attribute(text, "Window", "x"), "0");
    EXPECT_EQ(attribute(text, "Window", "y"), "0");
    EXPECT_EQ(attribute(text, "Window", "fullscreen"), "0");

    // In full screen: the rectangle that F11 returns to.
    h.key(osgGA::GUIEventAdapter::KEY_F11);
    h.frame(2);
    text = save(h);
    EXPECT_EQ(attribute(text, "Window", "fullscreen"), "1");
    EXPECT_EQ(attribute(text, "Window", "x"), "0");
    EXPECT_EQ(attribute(text, "Window", "width"), "640");
    EXPECT_EQ(attribute(text, "Window", "height"), "480");
}

// The configuration is the user's project: a model that cannot be loaded now (on a drive not
// mounted yet, in a format this build does not read) or names a layer out of range stays in it
// as it was written, and the dropped files follow.
TEST(Configuration, F3KeepsEveryConfiguredModelAsWrittenAndAddsTheDroppedOnes)
{
    const std::vector<std::string> configured = {
        R"(<Model name="Box" filename="../Content/box.osg" layerNum="1" visible="1"/>)",
        R"(<Model name="Not mounted" filename="/media/usb0/Site.ive" layerNum="2" visible="0"/>)",
        R"(<Model name="Plan" filename="../Content/plan.png" layerNum="0" visible="1"/>)",
        R"(<Model name="Far" filename="../Content/box.osg" layerNum="1000" visible="1"/>)",
        R"(<Model name="Below" filename="../Content/box.osg" layerNum="-3" visible="0"/>)"};
    ViewerHarness h;
    writeBox(h.contentDir() + "/box.osg");
    writeBox(h.contentDir() + "/Dropped.osg");
    std::string scene = "<Scene loadInfoPoints=\"0\" generatePowerline=\"0\" pagedMemory=\"6144\">\n";
    for (const std::string& model : configured)
        scene += "    " + model + "\n";
    h.writeConfiguration(scene + "</Scene>\n" + tavritest::smallWindowConfiguration());
    h.setup();
    h.frame();
    h.addEvent(osgTAVRI::createDropEvent({h.contentDir() + "/Dropped.osg"}).get());
    h.frame();

    // What could be loaded is shown; out-of-range layers load into layer 0.
    osgTAVRI::SceneController* controller = h.sceneController();
    ASSERT_EQ(controller->getNumLayers(), 2u);
    EXPECT_EQ(controller->getLayer(0)->getNumChildren(), 3u);
    EXPECT_EQ(controller->getLayer(1)->getNumChildren(), 1u);

    std::vector<std::string> expected = configured;
    expected.push_back(R"(<Model name="Dropped" filename="../Content/Dropped.osg" layerNum="0" visible="1"/>)");
    const std::string saved = save(h);
    EXPECT_EQ(modelElements(saved), expected) << saved;

    expectARestartSavesTheSame(saved, {"box.osg", "Dropped.osg"});
}

TEST(Configuration, F3InFullScreenKeepsTheRectangleThatF11ReturnsTo)
{
    std::string saved;
    {
        ViewerHarness h;
        h.writeConfiguration("<Window x=\"100\" y=\"50\" width=\"800\" height=\"600\" numSamples=\"0\"/>");
        h.setup();
        h.frame();
        h.key(osgGA::GUIEventAdapter::KEY_F11);
        h.frame(2);
        ASSERT_TRUE(h.windowSettings().fullscreen);
        saved = save(h);
    }
    EXPECT_EQ(attribute(saved, "Window", "fullscreen"), "1") << saved;
    EXPECT_EQ(attribute(saved, "Window", "x"), "100") << saved;
    EXPECT_EQ(attribute(saved, "Window", "y"), "50") << saved;
    EXPECT_EQ(attribute(saved, "Window", "width"), "800") << saved;
    EXPECT_EQ(attribute(saved, "Window", "height"), "600") << saved;

    // After a restart the window opens full screen, and F11 still leads back.
    ViewerHarness again;
    again.writeConfiguration(saved);
    again.setup();
    again.frame(2);
    EXPECT_TRUE(again.windowSettings().fullscreen);
    again.key(osgGA::GUIEventAdapter::KEY_F11);
    again.frame(2);
    const WindowSettings back = again.windowSettings();
    EXPECT_FALSE(back.fullscreen);
    EXPECT_EQ(back.x, 100);
    EXPECT_EQ(back.y, 50);
    EXPECT_EQ(back.width, 800);
    EXPECT_EQ(back.height, 600);
}

// The test server has no quad-buffer visual: the window opens mono and stereo stays off.
TEST(Configuration, StereoWithoutAStereoVisualOpensAMonoWindow)
{
    NotifyCapture notes(osg::WARN);
    ViewerHarness h;
    h.writeConfiguration("<Window x=\"10\" y=\"10\" width=\"320\" height=\"240\" stereo=\"1\" numSamples=\"0\"/>");
    h.setup();
    h.frame();
    ASSERT_NE(h.window(), nullptr);
    EXPECT_TRUE(h.window()->valid());
    if (h.window()->getTraits()->quadBufferStereo)
        GTEST_SKIP() << "this X server offers a quad-buffer stereo visual";
    EXPECT_FALSE(osg::DisplaySettings::instance()->getStereo());
    EXPECT_TRUE(notes.contains("quad-buffer", osg::WARN)) << notes.all();
    EXPECT_EQ(attribute(save(h), "Window", "stereo"), "0");
}
