// The installed viewer, started from its Bin folder under our own X server, driven by keys
// sent through XTEST as a user would type them.
#include "tests/support/TestSupport.h"

#include <osg/Group>
#include <osgDB/WriteFile>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using tavritest::Process;
using tavritest::TempDir;
using tavritest::waitFor;

namespace
{
std::string trim(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A copy of the installation with the viewer running from its Bin folder.
class InstalledViewer
{
public:
    explicit InstalledViewer(const std::string& display = "") : displayName(display)
    {
        tavritest::copyInstallation(dir.path());
        fs::remove(configurationPath());
    }

    ~InstalledViewer() { process.kill(); }

    std::string configurationPath() const { return dir.file("Resources/Configuration.xml"); }
    std::string rootDir() const { return dir.path(); }

    void start() { startCommand("exec ./TAVRIview"); }

    // Both console streams into one file, as a user logs the viewer.
    void startLoggingTo(const std::string& log) { startCommand("exec ./TAVRIview >'" + log + "' 2>&1"); }

    // Runs an X command line against our display and returns its output.
    std::string x(const std::string& command) const
    {
        std::vector<std::string> argv = {"/bin/sh", "-c", command};
        std::map<std::string, std::string> env;
        if (!displayName.empty())
            env["DISPLAY"] = displayName;
        return tavritest::run(argv, "", 60.0, env).out;
    }

    // The viewer's top-level window, once it exists.
    std::string window()
    {
        if (windowId.empty())
            windowId = trim(x("timeout 30 xdotool search --sync --name '^TAVRIview' 2>/dev/null | head -1"));
        return windowId;
    }

    // A key through XTEST into the focused viewer window.
    void key(const std::string& keyName) { x("xdotool windowfocus --sync " + window() + " key " + keyName); }

    int waitForExit()
    {
        int code = -1;
        if (!process.wait(60.0, code))
            return -1000;
        return code;
    }

    Process process;

private:
    void startCommand(const std::string& command)
    {
        std::map<std::string, std::string> env;
        if (!displayName.empty())
            env["DISPLAY"] = displayName;
        process.start({"/bin/sh", "-c", command}, dir.file("Bin"), env);
    }

    TempDir dir;
    std::string displayName;
    std::string windowId;
};

bool installed()
{
    return fs::exists(tavritest::distDir() + "/Bin/TAVRIview");
}

#define REQUIRE_INSTALLATION()                                                                   \
    do {                                                                                         \
        if (!installed())                                                                        \
            GTEST_SKIP() << "no installed viewer in " << tavritest::distDir() << " (make dist)"; \
    } while (0)

int geometryValue(const std::string& info, const std::string& label)
{
    std::smatch match;
    if (std::regex_search(info, match, std::regex(label + ":\\s+(-?[0-9]+)")))
        return std::stoi(match[1]);
    return -99999;
}

} // namespace

TEST(ViewerFrame, StartsCentredWithTheProgramTitleAndEndsOnEscape)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    viewer.start();
    const std::string window = viewer.window();
    ASSERT_FALSE(window.empty()) << viewer.process.errorOutput();
    EXPECT_EQ(trim(viewer.x("xdotool getwindowname " + window)), "TAVRIview 1.02");
    const std::string info = viewer.x("xwininfo -id " + window);
    EXPECT_EQ(geometryValue(info, "Width"), 1024) << info;
    EXPECT_EQ(geometryValue(info, "Height"), 768) << info;
    EXPECT_EQ(geometryValue(info, "Absolute upper-left X"), (1280 - 1024) / 2) << info;
    EXPECT_EQ(geometryValue(info, "Absolute upper-left Y"), (1024 - 768) / 2) << info;

    viewer.key("Escape");
    EXPECT_EQ(viewer.waitForExit(), 0) << viewer.process.errorOutput();
    EXPECT_NE(viewer.process.output().find("TAVRIview 1.02"), std::string::npos);
    // Quitting saves nothing.
    EXPECT_FALSE(fs::exists(viewer.configurationPath()));
}

TEST(ViewerFrame, ClosingTheWindowEndsWithExitCodeZero)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    viewer.start();
    const std::string window = viewer.window();
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(tavritest::shell(tavritest::toolPath("SendCloseRequest") + " " + window), 0);
    EXPECT_EQ(viewer.waitForExit(), 0) << viewer.process.errorOutput();
}

TEST(ViewerFrame, F12TwiceWritesTwoNumberedJpegsBesideBin)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    viewer.start();
    ASSERT_FALSE(viewer.window().empty());
    const std::string first = viewer.rootDir() + "/TAVRIview_0_0.jpg";
    const std::string second = viewer.rootDir() + "/TAVRIview_0_1.jpg";
    viewer.key("F12");
    ASSERT_TRUE(waitFor([&] { return fs::exists(first); })) << viewer.process.errorOutput();
    viewer.key("F12");
    ASSERT_TRUE(waitFor([&] { return fs::exists(second); })) << viewer.process.errorOutput();
    viewer.key("Escape");
    ASSERT_EQ(viewer.waitForExit(), 0);

    for (const std::string& shot : {first, second})
    {
        const std::string jpeg = tavritest::readFile(shot);
        ASSERT_GT(jpeg.size(), 1000u) << shot;
        EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
        EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
        EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 2]), 0xFF);
        EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 1]), 0xD9);
    }
    EXPECT_FALSE(fs::exists(viewer.rootDir() + "/TAVRIview_0_2.jpg"));
}

TEST(ViewerFrame, F3WritesTheConfigurationInItsOrder)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    viewer.start();
    ASSERT_FALSE(viewer.window().empty());
    viewer.key("F3");
    ASSERT_TRUE(waitFor([&] { return fs::exists(viewer.configurationPath()); }));
    viewer.key("Escape");
    ASSERT_EQ(viewer.waitForExit(), 0);

    const std::string text = tavritest::readFile(viewer.configurationPath());
    std::vector<std::string> names;
    std::regex element("<([A-Za-z]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    EXPECT_EQ(names, (std::vector<std::string>{"Overlay", "Scene", "Environment", "Navigation", "Window"})) << text;
    EXPECT_NE(text.find("<Window title=\"TAVRIview 1.02\" x=\"128\" y=\"128\" width=\"1024\" height=\"768\""),
              std::string::npos)
        << text;
    // Only the configuration itself: no temporary file is left behind.
    for (const std::string& name : tavritest::listDir(viewer.rootDir() + "/Resources"))
        EXPECT_EQ(name.find("Configuration.xml."), std::string::npos) << name;
}

TEST(ViewerFrame, ABrokenConfigurationStillStartsAndSaysWhy)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    tavritest::writeFile(viewer.configurationPath(), std::string("\x00\x01garbage<<<\xff", 13));
    viewer.start();
    const std::string window = viewer.window();
    ASSERT_FALSE(window.empty()) << viewer.process.errorOutput();
    const std::string info = viewer.x("xwininfo -id " + window);
    EXPECT_EQ(geometryValue(info, "Width"), 1024) << info;
    viewer.key("Escape");
    EXPECT_EQ(viewer.waitForExit(), 0);
    const std::string errors = viewer.process.errorOutput();
    EXPECT_NE(errors.find("Configuration.xml"), std::string::npos) << errors;
}

// A user who logs the console to a file sees every line when it happens, the notices on
// standard output and the warnings on standard error in the order they were written.
TEST(ViewerFrame, ConsoleLinesReachALogFileAtOnceAndInOrder)
{
    REQUIRE_INSTALLATION();
    tavritest::ensureDisplay();
    InstalledViewer viewer;
    osg::ref_ptr<osg::Group> box = new osg::Group;
    ASSERT_TRUE(osgDB::writeNodeFile(*box, viewer.rootDir() + "/Content/Box.osg"));
    tavritest::writeFile(viewer.configurationPath(),
                         "<Scene>\n"
                         "  <Model name=\"Ghost\" filename=\"../Content/Ghost.ive\" layerNum=\"0\" visible=\"1\"/>\n"
                         "  <Model name=\"Box\" filename=\"../Content/Box.osg\" layerNum=\"0\" visible=\"1\"/>\n"
                         "</Scene>\n"
                         "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n");
    const std::string log = viewer.rootDir() + "/console.log";
    viewer.startLoggingTo(log);
    ASSERT_FALSE(viewer.window().empty()) << tavritest::readFile(log);

    // The program's own lines, in the order the file has them.
    auto ourLines = [&] {
        std::vector<std::string> lines;
        std::istringstream in(tavritest::readFile(log));
        for (std::string line; std::getline(in, line);)
            for (const char* start : {"TAVRIview ", "Laddar ", "Unable to load model ", "R\xC3\xB6relsehastighet "})
                if (line.rfind(start, 0) == 0)
                    lines.push_back(line);
        return lines;
    };
    EXPECT_EQ(ourLines(), (std::vector<std::string>{"TAVRIview 1.02", "Laddar Ghost",
                                                   "Unable to load model ../Content/Ghost.ive", "Laddar Box"}));
    viewer.key("plus");
    EXPECT_TRUE(waitFor([&] { return ourLines().size() == 5; }, 10.0)) << tavritest::readFile(log);

    viewer.key("Escape");
    EXPECT_EQ(viewer.waitForExit(), 0);
}

TEST(ViewerFrame, OnASmallScreenTheDefaultWindowStartsAtTheCorner)
{
    REQUIRE_INSTALLATION();
    // A second server whose screen is smaller than the default window.
    tavritest::XvfbServer small("800x600x24");
    InstalledViewer viewer(small.display());
    viewer.start();
    const std::string window = viewer.window();
    ASSERT_FALSE(window.empty()) << viewer.process.errorOutput();
    const std::string info = viewer.x("xwininfo -id " + window);
    EXPECT_EQ(geometryValue(info, "Absolute upper-left X"), 0) << info;
    EXPECT_EQ(geometryValue(info, "Absolute upper-left Y"), 0) << info;
    EXPECT_EQ(geometryValue(info, "Width"), 1024) << info;
    viewer.key("Escape");
    EXPECT_EQ(viewer.waitForExit(), 0);
}
