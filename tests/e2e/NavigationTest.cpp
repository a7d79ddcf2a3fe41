#include "tests/support/GridMesh.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <osgDB/WriteFile>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>

namespace
{

// A 1000 m terrain tile round the origin, gently rolling, so that the viewer
// starts at a speed of a tenth of its bounding radius.
osg::ref_ptr<osg::Node> makeTerrain()
{
    const int n = 101;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const float x = -500.0f + 10.0f * i, y = -500.0f + 10.0f * j;
            vertices->push_back(osg::Vec3(x, y, 5.0f * std::sin(x / 70.0f) * std::cos(y / 90.0f)));
        }
    return tavritest::makeGridMesh(vertices.get(), n);
}

struct HomeView
{
    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d direction() const
    {
        osg::Vec3d d = center - eye;
        d.normalize();
        return d;
    }
};

double attribute(const std::string& text, const std::string& name)
{
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(name + "=\"([^\"]*)\"")))
        ADD_FAILURE() << "no " << name << " in\n" << text;
    return match.empty() ? 0.0 : std::atof(match[1].str().c_str());
}

HomeView parseHome(const std::string& text)
{
    HomeView home;
    home.eye.set(attribute(text, "homeEyeX"), attribute(text, "homeEyeY"), attribute(text, "homeEyeZ"));
    home.center.set(attribute(text, "homeCenterX"), attribute(text, "homeCenterY"), attribute(text, "homeCenterZ"));
    return home;
}

void pause(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

class Navigation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tavritest::ensureDisplay();
        ASSERT_NO_THROW(tavritest::copyInstallation(dir.path()));
        ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrain(), dir.file("Content/NavigationTerrain.ive")));
        configuration = dir.file("Resources/Configuration.xml");
        // Eye 300 m south of the tile centre, 200 m up, looking north 30 degrees down.
        tavritest::writeFile(configuration,
            "<Scene>\n"
            "  <Model name=\"terrain\" filename=\"../Content/NavigationTerrain.ive\" layerNum=\"0\" visible=\"1\"/>\n"
            "</Scene>\n"
            "<Navigation homeEyeX=\"0\" homeEyeY=\"-300\" homeEyeZ=\"200\" homeCenterX=\"0\" "
            "homeCenterY=\"-291.339746\" homeCenterZ=\"195\"/>\n"
            "<Window title=\"TAVRIview navigation\" x=\"0\" y=\"0\" width=\"640\" height=\"480\" maximized=\"0\" "
            "fullscreen=\"0\" screenNum=\"0\" numSamples=\"0\" stereo=\"0\"/>\n");
    }

    void TearDown() override
    {
        if (viewer.running())
        {
            key("Escape");
            int code = 0;
            if (!viewer.wait(10.0, code))
                viewer.kill();
        }
    }

    void startViewer()
    {
        viewer.start({dir.file("Bin/TAVRIview")}, dir.file("Bin"));
        tavritest::RunResult found =
            tavritest::run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "TAVRIview"}, "", 30.0);
        ASSERT_EQ(0, found.exitCode) << viewer.errorOutput();
        window = found.out.substr(0, found.out.find('\n'));
        // No window manager here: keys go to the window under the pointer.
        ASSERT_EQ(0, tavritest::shell("xdotool mousemove --window " + window + " 320 240"));
        tavritest::shell("xdotool windowfocus " + window + " 2>/dev/null");
        pause(1.5);
    }

    void key(const std::string& name) { tavritest::shell("xdotool key " + name); }

    void hold(const std::string& name, double seconds)
    {
        tavritest::shell("xdotool keydown " + name);
        pause(seconds);
        tavritest::shell("xdotool keyup " + name);
    }

    // The stored view once the smoothed axes have coasted to rest, however slow the frames are.
    HomeView settled()
    {
        HomeView last = saveAndRead();
        for (int i = 0; i < 30; ++i)
        {
            pause(0.5);
            const HomeView next = saveAndRead();
            if (next.eye == last.eye && next.center == last.center)
                return next;
            last = next;
        }
        ADD_FAILURE() << "the view did not come to rest";
        return last;
    }

    // F3, then the Navigation element of the rewritten configuration. The file
    // is removed first so that an unchanged view still shows a fresh write; F3
    // is repeated while a loaded machine has not yet delivered keys to the window.
    HomeView saveAndRead()
    {
        std::remove(configuration.c_str());
        for (int attempt = 0; attempt < 10; ++attempt)
        {
            key("F3");
            for (int i = 0; i < 30; ++i)
            {
                pause(0.1);
                const std::string text = tavritest::readFile(configuration);
                if (text.find("homeCenterZ") != std::string::npos && text.find("<Window") != std::string::npos)
                    return parseHome(text);
            }
        }
        ADD_FAILURE() << "F3 did not write the configuration\n" << viewer.errorOutput();
        return HomeView();
    }

    tavritest::TempDir dir;
    std::string configuration;
    tavritest::Process viewer;
    std::string window;
};

} // namespace

TEST_F(Navigation, KeysMoveTheViewAndF3StoresIt)
{
    startViewer();
    const HomeView start = settled();
    EXPECT_NEAR(0.0, start.eye.x(), 1e-3);
    EXPECT_NEAR(-300.0, start.eye.y(), 1e-3);
    EXPECT_NEAR(200.0, start.eye.z(), 1e-3);
    EXPECT_NEAR(-0.5, start.direction().z(), 1e-4);

    // Free flight: W flies along the tilted view.
    hold("w", 1.0);
    const HomeView flown = settled();
    const osg::Vec3d flight = flown.eye - start.eye;
    ASSERT_GT(flight.length(), 1.0) << "W did not move the view\n" << viewer.errorOutput();
    EXPECT_NEAR(0.0, ((flight / flight.length()) - start.direction()).length(), 1e-3);

    // Terrain following: W keeps the height, Q raises the eye.
    key("Tab");
    hold("w", 1.0);
    const HomeView followed = settled();
    EXPECT_GT(followed.eye.y(), flown.eye.y() + 1.0);
    EXPECT_NEAR(flown.eye.z(), followed.eye.z(), 0.01);
    EXPECT_NEAR(0.0, followed.eye.x(), 1e-3);
    hold("q", 0.5);
    const HomeView raised = settled();
    EXPECT_GT(raised.eye.z(), followed.eye.z() + 1.0);
    EXPECT_NEAR(followed.eye.y(), raised.eye.y(), 0.01);

    // J swings the camera to the left round the ground point it looks at.
    hold("j", 0.5);
    const HomeView turned = settled();
    EXPECT_LT(turned.direction().x(), -0.05);
    EXPECT_GT(turned.eye.x(), 1.0) << "the eye swings round the pivot, not in place";

    // The console line of the mode change, in UTF-8 on this platform.
    key("Escape");
    int code = -1;
    ASSERT_TRUE(viewer.wait(10.0, code));
    const std::string console = viewer.output() + viewer.errorOutput();
    EXPECT_NE(std::string::npos, console.find("Rörelsemodellen ändrades")) << console;
}
