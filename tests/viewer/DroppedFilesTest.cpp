#include "tests/viewer/SceneProbe.h"

#include "viewer/DropFiles.h"
#include "viewer/SceneController.h"
#include "viewer/platform/XdndTarget.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <osgDB/WriteFile>
#include <osgViewer/api/X11/GraphicsWindowX11>

#include <unistd.h>

using osgTAVRI::XdndTarget;
using tavritest::ViewerHarness;

namespace
{

std::string host()
{
    char name[256] = {0};
    gethostname(name, sizeof(name) - 1);
    return name;
}

// The warning lines that name `file`, apart from the controller's own report.
std::vector<std::string> loaderWarnings(const tavritest::NotifyCapture& capture, const std::string& file)
{
    std::vector<std::string> lines;
    for (const auto& line : capture.lines())
        if (line.severity <= osg::WARN && line.text.find(file) != std::string::npos &&
            line.text.find("Unable to load model") != 0)
            lines.push_back(line.text);
    return lines;
}

void makeCowArchive(const std::string& dir, const std::string& archive, const std::string& password)
{
    const std::string models = tavritest::sharedData() + "/models";
    ASSERT_EQ(tavritest::shell("mkdir -p " + dir + "/Images && cp " + models + "/cow.osg " + dir + " && cp " + models +
                               "/Images/reflect.rgb " + dir + "/Images && cd " + dir + " && zip -q -P " + password +
                               " " + archive + " cow.osg Images/reflect.rgb"),
              0);
}

} // namespace

TEST(DroppedFiles, UriListsGiveLocalPathsInOrder)
{
    std::vector<std::string> ignored;
    const std::string text = "# a comment\r\n"
                             "file:///home/u/Bridge%20North.ive\r\n"
                             "file://localhost/data/%C3%A4.osg\r\n"
                             "file://" + host() + "/data/site.zip\r\n"
                             "http://example.org/model.ive\r\n"
                             "file://otherhost/share/x.ive\r\n"
                             "file:///bad%zz.ive\r\n"
                             "file:///nul%00.ive\r\n"
                             "\r\n"
                             "file:///last.3ds"; // no line break after the last entry
    const std::vector<std::string> paths = XdndTarget::parseUriList(text, ignored);
    EXPECT_EQ(paths, std::vector<std::string>({"/home/u/Bridge North.ive", "/data/\xC3\xA4.osg", "/data/site.zip",
                                               "/last.3ds"}));
    EXPECT_EQ(ignored, std::vector<std::string>({"http://example.org/model.ive", "file://otherhost/share/x.ive",
                                                 "file:///bad%zz.ive", "file:///nul%00.ive"}));
}

TEST(DroppedFiles, AnXdndDropOntoTheWindowLoadsEveryFileIntoLayerZeroInOrder)
{
    ViewerHarness h;
    h.writeConfiguration(tavritest::smallWindowConfiguration());
    h.setup();
    h.frame();
    auto* x11 = dynamic_cast<osgViewer::GraphicsWindowX11*>(h.window());
    ASSERT_NE(x11, nullptr);

    osg::ref_ptr<osg::Group> a = new osg::Group, b = new osg::Group;
    a->setName("Alpha");
    b->setName("Beta");
    const std::string alpha = h.contentDir() + "/Alpha Site.osg", beta = h.contentDir() + "/Beta.ive";
    ASSERT_TRUE(osgDB::writeNodeFile(*a, alpha));
    ASSERT_TRUE(osgDB::writeNodeFile(*b, beta));

    tavritest::NotifyCapture capture(osg::WARN);
    tavritest::Process source;
    source.start({tavritest::toolPath("XdndSource"), "--window", std::to_string(x11->getWindow()), "--timeout", "60",
                  beta, "--uri", "http://example.org/x.ive", alpha});
    osgTAVRI::SceneController* scene = h.sceneController();
    ASSERT_TRUE(tavritest::frameUntil(h, [&] { return scene->getNumModels() == 2 || !source.running(); }));
    h.frame();
    int code = -1;
    ASSERT_TRUE(source.wait(30, code));
    EXPECT_EQ(code, 0) << source.output() << source.errorOutput();

    ASSERT_EQ(scene->getNumModels(), 2u);
    EXPECT_EQ(scene->getModel(0).name, "Beta");
    EXPECT_EQ(scene->getModel(1).name, "Alpha Site");
    EXPECT_EQ(scene->getModel(0).filename, "../Content/Beta.ive");
    EXPECT_EQ(scene->getModel(1).filename, "../Content/Alpha Site.osg");
    ASSERT_EQ(scene->getNumLayers(), 1u);
    EXPECT_EQ(scene->getLayer(0)->getNumChildren(), 2u);
    EXPECT_TRUE(capture.contains("http://example.org/x.ive", osg::WARN)) << capture.all();

    // As a file manager drops: the type list in a property, a few moves, then the drop.
    auto dropAgain = [&](const std::vector<std::string>& items) {
        tavritest::Process again;
        std::vector<std::string> argv = {tavritest::toolPath("XdndSource"), "--window",
                                         std::to_string(x11->getWindow()), "--timeout", "60", "--many-types"};
        argv.insert(argv.end(), items.begin(), items.end());
        again.start(argv);
        EXPECT_TRUE(tavritest::frameUntil(h, [&] { return !again.running(); }));
        h.frame();
        int exitCode = -1;
        EXPECT_TRUE(again.wait(30, exitCode));
        return exitCode;
    };
    EXPECT_EQ(dropAgain({alpha}), 0);
    ASSERT_EQ(scene->getNumModels(), 3u);
    EXPECT_EQ(scene->getModel(2).name, "Alpha Site");

    // Nothing local in the drop: the source is told it was refused, and nothing is loaded.
    EXPECT_EQ(dropAgain({"--uri", "ftp://example.org/y.ive"}), 2);
    EXPECT_EQ(scene->getNumModels(), 3u);
}

TEST(DroppedFiles, AProtectedArchiveDroppedAfterTheFirstFrameLoadsAndDraws)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    h.writeConfiguration(tavritest::smallWindowConfiguration());
    makeCowArchive(h.rootDir() + "/pack", h.contentDir() + "/Cow.zip", "mossrock");
    h.setup();
    h.frame();
    osg::ref_ptr<osg::Image> empty = h.readPixels();

    h.addEvent(osgTAVRI::createDropEvent({h.contentDir() + "/Cow.zip"}).get());
    h.frame();
    osgTAVRI::SceneController* scene = h.sceneController();
    ASSERT_EQ(scene->getNumModels(), 1u);
    EXPECT_EQ(scene->getModel(0).filename, "../Content/Cow.zip");
    tavritest::lookAt(h, scene->getModel(0).node->getBound());
    osg::ref_ptr<osg::Image> drawn = h.readPixels();
    ASSERT_TRUE(empty.valid() && drawn.valid());
    EXPECT_GT(tavritest::differingPixels(*empty, *drawn), 320 * 240 / 20) << "the cow is not on screen";
}

TEST(DroppedFiles, BadFilesGiveOneWarningEachAndTheViewerGoesOn)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    h.writeConfiguration(tavritest::smallWindowConfiguration());
    const std::string content = h.contentDir();
    makeCowArchive(h.rootDir() + "/pack", content + "/Locked.zip", "granite");
    makeCowArchive(h.rootDir() + "/pack2", content + "/Whole.zip", "mossrock");
    const std::string whole = tavritest::readFile(content + "/Whole.zip");
    tavritest::writeFile(content + "/Truncated.zip", whole.substr(0, whole.size() * 2 / 3));
    tavritest::writeFile(content + "/Empty.ive", "");
    h.setup();
    h.frame();

    for (const std::string name : {"Locked.zip", "Truncated.zip", "Empty.ive"})
    {
        tavritest::NotifyCapture capture(osg::WARN);
        h.addEvent(osgTAVRI::createDropEvent({content + "/" + name}).get());
        h.frame(2);
        EXPECT_EQ(loaderWarnings(capture, name).size(), 1u) << name << ":\n" << capture.all();
        EXPECT_TRUE(capture.contains("Unable to load model ../Content/" + name, osg::WARN)) << capture.all();
        EXPECT_FALSE(h.viewer().done());
    }
    EXPECT_EQ(h.sceneController()->getNumModels(), 0u);
    EXPECT_EQ(h.sceneController()->getNumLayers(), 0u);

    // And a good file still loads after them.
    h.addEvent(osgTAVRI::createDropEvent({content + "/Whole.zip"}).get());
    h.frame();
    EXPECT_EQ(h.sceneController()->getNumModels(), 1u);
}
