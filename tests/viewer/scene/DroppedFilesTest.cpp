#include "tests/viewer/SceneProbe.h"

#include "viewer/scene/DropFiles.h"
#include "viewer/scene/SceneController.h"
#include "viewer/platform/WindowFactory.h"
#include "viewer/platform/XdndTarget.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <osgDB/WriteFile>
#include <osgViewer/api/X11/GraphicsWindowX11>

#include <atomic>
#include <chrono>
#include <thread>

#include <dlfcn.h>
#include <unistd.h>

using osgTAVRI::XdndTarget;
using tavritest::ViewerHarness;

namespace
{
// While set, the thread that takes a drag's XdndEnter off an X connection hands it on only once
// another thread has taken a message too (or after a while): the worst moment for a thread to
// be preempted, made to happen every time.
std::atomic<bool> slowHandOver{false};
std::atomic<int> messagesTaken{0};
} // namespace

// Every XCheckIfEvent of this process, the window's included, comes through here first.
extern "C" Bool XCheckIfEvent(Display* display, XEvent* event, Bool (*predicate)(Display*, XEvent*, XPointer),
                              XPointer arg)
{
    using Check = Bool (*)(Display*, XEvent*, Bool (*)(Display*, XEvent*, XPointer), XPointer);
    static const Check real = reinterpret_cast<Check>(dlsym(RTLD_NEXT, "XCheckIfEvent"));
    const Bool found = real(display, event, predicate, arg);
    if (!found || event->type != ClientMessage || !slowHandOver)
        return found;
    const int taken = ++messagesTaken;
    if (event->xclient.message_type == XInternAtom(display, "XdndEnter", True))
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (messagesTaken == taken && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return found;
}

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

// The drop as above, under the threading the viewer runs with: its window's connection is then
// drained on the draw thread after each swap as well as on the main thread.
TEST(DroppedFiles, DropsArriveUnderTheViewersOwnThreading)
{
    ViewerHarness h;
    h.setSingleThreaded(false);
    h.writeConfiguration(tavritest::smallWindowConfiguration());
    h.setup();
    h.frame();
    ASSERT_NE(h.viewer().getThreadingModel(), osgViewer::ViewerBase::SingleThreaded)
        << "the toolkit chose no draw thread on this machine";
    const std::string window = std::to_string(dynamic_cast<osgViewer::GraphicsWindowX11*>(h.window())->getWindow());
    osg::ref_ptr<osg::Group> model = new osg::Group;
    const std::string path = h.contentDir() + "/Model.osg";
    ASSERT_TRUE(osgDB::writeNodeFile(*model, path));

    osgTAVRI::SceneController* scene = h.sceneController();
    for (unsigned int drop = 1; drop <= 4; ++drop)
    {
        std::vector<std::string> argv = {tavritest::toolPath("XdndSource"), "--window", window, "--timeout", "30"};
        if (drop % 2 == 0)
            argv.push_back("--many-types");
        argv.push_back(path);
        tavritest::Process source;
        source.start(argv);
        // Frame after frame, as the viewer's own loop runs them.
        for (int frame = 0; frame < 20000 && source.running(); ++frame)
            h.frame();
        int code = -1;
        ASSERT_TRUE(source.wait(10, code));
        EXPECT_EQ(code, 0) << "drop " << drop << ": " << source.output() << source.errorOutput();
        EXPECT_TRUE(tavritest::frameUntil(h, [&] { return scene->getNumModels() == drop; }, 400)) << drop;
    }
}

// The two threads that drain the window's connection, the draw thread swapping and the event
// thread checking for events, with the worst interleaving made to happen every time: whichever
// takes the drag's first message is held until the other has taken a message too.
TEST(DroppedFiles, AWindowDrainedByTwoThreadsKeepsTheDragInOrder)
{
    tavritest::ensureDisplay();
    osg::ref_ptr<osg::GraphicsContext::Traits> traits = new osg::GraphicsContext::Traits;
    traits->readDISPLAY();
    traits->setUndefinedScreenDetailsToDefaultScreen();
    traits->width = 200;
    traits->height = 150;
    traits->doubleBuffer = true;
    traits->windowName = "TwoThreads";
    osg::ref_ptr<osg::GraphicsContext> context = osgTAVRI::createPlatformWindow(traits.get());
    auto* window = dynamic_cast<osgViewer::GraphicsWindowX11*>(context.get());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->realize());

    std::atomic<bool> drawing{true};
    std::thread draw([&] {
        window->makeCurrent();
        while (drawing)
            window->swapBuffers();
        window->releaseContext();
    });

    slowHandOver = true;
    tavritest::Process source;
    source.start({tavritest::toolPath("XdndSource"), "--window", std::to_string(window->getWindow()), "--timeout",
                  "30", "/tmp/Two Threads.osg"});
    std::vector<std::string> dropped;
    while (source.running())
    {
        window->checkEvents();
        osgGA::EventQueue::Events events;
        window->getEventQueue()->takeEvents(events);
        for (const auto& event : events)
            if (const osgGA::GUIEventAdapter* ea = event->asGUIEventAdapter())
                for (const std::string& path : osgTAVRI::getDropFiles(*ea))
                    dropped.push_back(path);
    }
    slowHandOver = false;
    drawing = false;
    draw.join();
    window->close();

    int code = -1;
    ASSERT_TRUE(source.wait(10, code));
    EXPECT_EQ(code, 0) << source.output() << source.errorOutput();
    EXPECT_EQ(dropped, std::vector<std::string>({"/tmp/Two Threads.osg"}));
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
