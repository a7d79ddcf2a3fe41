#include "tests/viewer/ViewerHarness.h"

#include <filesystem>
#include <set>

using tavritest::ViewerHarness;

// A tile that tin builds from a real laser scan loads in the viewer like any model and
// draws lit terrain where the home view looks at it.
TEST(TinTileViewer, DrawsTerrainFromARealScan)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    const std::string terrain = h.contentDir() + "/Terrain";
    std::filesystem::create_directories(terrain);
    // autzen_trim.las covers 636001..637179 x 848935..849497 (feet), heights 406..521.
    const tavritest::RunResult r =
        tavritest::run({tavritest::buildDir() + "/Bin/tin", "--extents", "636000,848900,637200,849500",
                        "--tileSize", "600", tavritest::sharedData() + "/las/autzen_trim.las"},
                       terrain, 300.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(tavritest::fileExists(terrain + "/848900_636000_600.ive")) << r.out << r.err;

    h.writeConfiguration(
        "<Scene><Model name=\"Autzen\" filename=\"../Content/Terrain/848900_636000_600.ive\" layerNum=\"0\" "
        "visible=\"1\"/></Scene>\n"
        "<Environment backgroundColorRed=\"0\" backgroundColorGreen=\"0\" backgroundColorBlue=\"1\"/>\n"
        "<Navigation homeEyeX=\"636300\" homeEyeY=\"848800\" homeEyeZ=\"750\" homeCenterX=\"636300\" "
        "homeCenterY=\"849200\" homeCenterZ=\"450\"/>\n"
        "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>");
    h.setup();
    h.frame(3);
    osg::ref_ptr<osg::Image> image = h.readPixels();
    ASSERT_TRUE(image.valid());
    ASSERT_EQ(image->s(), 320);

    // The bottom half of the view looks down onto the tile: nearly all terrain, not
    // background blue, and shaded in many tones by its normals.
    unsigned terrainPixels = 0, total = 0;
    std::set<unsigned> tones;
    for (int y = 0; y < image->t() / 2; ++y)
        for (int x = 0; x < image->s(); ++x)
        {
            const unsigned char* p = image->data(x, y);
            ++total;
            if (!(p[0] < 20 && p[1] < 20 && p[2] > 235))
            {
                ++terrainPixels;
                tones.insert(p[0] / 4);
            }
        }
    EXPECT_GT(terrainPixels, total * 9 / 10) << terrainPixels << " of " << total;
    EXPECT_GT(tones.size(), 8u);
}
