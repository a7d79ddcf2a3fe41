// Files dropped onto the installed viewer by an XDND drag source, as a file manager drops them,
// then saved with F3 like a user would.
#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

namespace fs = std::filesystem;

namespace
{
struct ModelElement
{
    std::string name, filename, layerNum, visible;
};

std::vector<ModelElement> modelElements(const std::string& xml)
{
    std::vector<ModelElement> result;
    const std::regex model("<Model name=\"([^\"]*)\" filename=\"([^\"]*)\" layerNum=\"([^\"]*)\" visible=\"([^\"]*)\"");
    for (std::sregex_iterator it(xml.begin(), xml.end(), model), end; it != end; ++it)
        result.push_back({(*it)[1], (*it)[2], (*it)[3], (*it)[4]});
    return result;
}

} // namespace

TEST(DropFiles, TwoFilesDroppedOnTheInstalledViewerLoadIntoLayerZeroAndAreSaved)
{
    TAVRI_REQUIRE_SHARED_DATA();
    tavritest::ensureDisplay();
    tavritest::TempDir dir;
    tavritest::copyInstallation(dir.path());
    const std::string models = tavritest::sharedData() + "/models";
    fs::create_directories(dir.file("Content/Drop/Images"));
    fs::copy(models + "/cow.osg", dir.file("Content/Drop/cow.osg"));
    fs::copy(models + "/Images/reflect.rgb", dir.file("Content/Drop/Images/reflect.rgb"));
    fs::copy(models + "/glider.osg", dir.file("Content/Drop/Glider Two.osg"));
    const std::string configuration = dir.file("Resources/Configuration.xml");
    tavritest::writeFile(configuration, "<Window title=\"TAVRIview drop\" x=\"0\" y=\"0\" width=\"400\" "
                                        "height=\"300\" numSamples=\"0\"/>\n");

    tavritest::Process viewer;
    viewer.start({"./TAVRIview"}, dir.file("Bin"));

    const std::vector<std::string> files = {dir.file("Content/Drop/Glider Two.osg"), dir.file("Content/Drop/cow.osg")};
    std::vector<std::string> argv = {tavritest::toolPath("XdndSource"), "--name", "TAVRIview drop", "--timeout", "90"};
    argv.insert(argv.end(), files.begin(), files.end());
    const tavritest::RunResult drop = tavritest::run(argv, "", 120.0);
    ASSERT_EQ(drop.exitCode, 0) << drop.out << drop.err << "\nviewer: " << viewer.errorOutput();
    EXPECT_NE(drop.out.find("drop accepted"), std::string::npos) << drop.out;

    // F3 through XTEST; the file is rewritten once the drop has been loaded.
    const std::string window = "$(xdotool search --name '^TAVRIview drop$' | head -1)";
    std::vector<ModelElement> saved;
    ASSERT_TRUE(tavritest::waitFor(
        [&] {
            tavritest::shell("xdotool windowfocus --sync " + window + " key F3 >/dev/null 2>&1");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            saved = modelElements(tavritest::readFile(configuration));
            return saved.size() >= 2;
        },
        60.0))
        << tavritest::readFile(configuration);

    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].name, "Glider Two");
    EXPECT_EQ(saved[0].filename, "../Content/Drop/Glider Two.osg");
    EXPECT_EQ(saved[1].name, "cow");
    EXPECT_EQ(saved[1].filename, "../Content/Drop/cow.osg");
    for (const ModelElement& m : saved)
    {
        EXPECT_EQ(m.layerNum, "0");
        EXPECT_EQ(m.visible, "1");
    }

    tavritest::shell("xdotool windowfocus --sync " + window + " key Escape >/dev/null 2>&1");
    int code = -1;
    ASSERT_TRUE(viewer.wait(60, code)) << "the viewer did not end on Escape";
    EXPECT_EQ(code, 0);
    const std::string out = viewer.output();
    EXPECT_LT(out.find("Laddar Glider Two"), out.find("Laddar cow")) << out;
}
