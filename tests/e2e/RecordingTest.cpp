#include "tests/support/GridMesh.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <osg/AnimationPath>
#include <osgDB/WriteFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <regex>
#include <thread>

namespace
{

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

void key(const std::string& name) { tavritest::shell("xdotool key " + name); }

double attribute(const std::string& text, const std::string& name)
{
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(name + "=\"([^\"]*)\"")))
        ADD_FAILURE() << "no " << name << " in\n" << text;
    return match.empty() ? 0.0 : std::atof(match[1].str().c_str());
}

// Flights in the folder that were not there `before`.
std::vector<std::string> recordings(const std::string& folder, const std::vector<std::string>& before)
{
    std::vector<std::string> found;
    for (const std::string& name : tavritest::listDir(folder))
        if (std::find(before.begin(), before.end(), name) == before.end() && name[0] != '.')
            found.push_back(name);
    return found;
}

} // namespace

// The installed viewer, keys typed through XTEST: F8, W held, F8 records a flight that the
// toolkit's own reader reads; F9 flies it again from the home view, and F3 afterwards stores the
// flight's last pose as the view.
TEST(Recording, KeysRecordAFlightThatPlaysBackToItsEndPose)
{
    tavritest::ensureDisplay();
    tavritest::TempDir dir;
    ASSERT_NO_THROW(tavritest::copyInstallation(dir.path()));
    ASSERT_TRUE(osgDB::writeNodeFile(*tavritest::makeRollingGround(51, 8.0f), dir.file("Content/RecordingTerrain.ive")));
    const std::string configuration = dir.file("Resources/Configuration.xml");
    tavritest::writeFile(configuration,
        "<Scene><Model name=\"terrain\" filename=\"../Content/RecordingTerrain.ive\" visible=\"1\"/></Scene>\n"
        "<Navigation homeEyeX=\"0\" homeEyeY=\"-300\" homeEyeZ=\"200\" homeCenterX=\"0\" homeCenterY=\"0\" "
        "homeCenterZ=\"0\"/>\n"
        "<Window title=\"TAVRIview recording\" x=\"0\" y=\"0\" width=\"480\" height=\"360\" numSamples=\"0\"/>\n");

    tavritest::Process viewer;
    viewer.start({dir.file("Bin/TAVRIview")}, dir.file("Bin"));
    tavritest::RunResult found =
        tavritest::run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "TAVRIview"}, "", 30.0);
    ASSERT_EQ(0, found.exitCode) << viewer.errorOutput();
    const std::string window = found.out.substr(0, found.out.find('\n'));
    ASSERT_EQ(0, tavritest::shell("xdotool mousemove --window " + window + " 240 180"));
    pause(1.5);

    const std::string folder = dir.file("Content/Paths");
    const std::vector<std::string> installed = tavritest::listDir(folder);
    key("F8");
    ASSERT_TRUE(tavritest::waitFor([&] { return viewer.output().find("Inspelningen startade") != std::string::npos; }))
        << viewer.output() << viewer.errorOutput();
    tavritest::shell("xdotool keydown w");
    pause(1.0);
    tavritest::shell("xdotool keyup w");
    pause(1.0);
    key("F8");
    ASSERT_TRUE(tavritest::waitFor([&] { return !recordings(folder, installed).empty(); })) << viewer.output();
    EXPECT_TRUE(tavritest::waitFor([&] { return viewer.output().find("Flygningen sparades i ../Content/Paths/") !=
                                                std::string::npos; }));
    const std::vector<std::string> files = recordings(folder, installed);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex("[0-9]{8}_[0-9]{6}\\.path"))) << files[0];

    std::ifstream in(folder + "/" + files[0]);
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    flight->read(in);
    const osg::AnimationPath::TimeControlPointMap& points = flight->getTimeControlPointMap();
    ASSERT_GE(points.size(), 3u);
    const osg::Vec3d first = points.begin()->second.getPosition(), last = points.rbegin()->second.getPosition();
    EXPECT_NEAR((first - osg::Vec3d(0.0, -300.0, 200.0)).length(), 0.0, 1e-6);
    const osg::Vec3d flown = last - first;
    ASSERT_GT(flown.length(), 1.0) << "W did not move the camera while recording";
    // Along the view: north and down, as from (0, -300, 200) towards the origin.
    EXPECT_NEAR(flown.x(), 0.0, 1e-3);
    EXPECT_NEAR(flown.z() / flown.y(), -200.0 / 300.0, 1e-3);

    key("space");
    pause(0.5);
    key("F9");
    ASSERT_TRUE(tavritest::waitFor([&] { return viewer.output().find("Uppspelningen är slut") != std::string::npos; },
                                   60.0))
        << viewer.output() << viewer.errorOutput();
    std::remove(configuration.c_str());
    key("F3");
    ASSERT_TRUE(tavritest::waitFor([&] { return tavritest::readFile(configuration).find("<Window") != std::string::npos; }));
    const std::string saved = tavritest::readFile(configuration);
    const osg::Vec3d eye(attribute(saved, "homeEyeX"), attribute(saved, "homeEyeY"), attribute(saved, "homeEyeZ"));
    EXPECT_LT((eye - last).length(), 1e-3) << "playback ended at " << eye.x() << " " << eye.y() << " " << eye.z();

    key("Escape");
    int code = -1;
    EXPECT_TRUE(viewer.wait(10.0, code));
    EXPECT_EQ(code, 0);
}
