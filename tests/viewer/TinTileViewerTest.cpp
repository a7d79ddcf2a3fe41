#include "tests/viewer/ViewerHarness.h"

#include <osgDB/WriteFile>

#include <cmath>
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

// A tile that tin drapes with an orthophoto (a PNG with a world file, which GDAL reads) draws
// the photo's colours where they lie: its western half red, its eastern half blue. F6 turns
// textures off and the same tile shows the plain grey ground again.
TEST(TinTileViewer, DrawsTheOrthophotoAndF6ShowsThePlainGround)
{
    TAVRI_REQUIRE_SHARED_DATA();
    ViewerHarness h;
    const std::string terrain = h.contentDir() + "/Terrain";
    std::filesystem::create_directories(terrain);
    // 800 x 800 pixels of one unit from (635900, 848800); red west of 636300, blue east of it.
    osg::ref_ptr<osg::Image> photo = new osg::Image;
    photo->allocateImage(800, 800, 1, GL_RGB, GL_UNSIGNED_BYTE);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 800; ++x)
        {
            unsigned char* p = photo->data(x, y);
            p[0] = x < 400 ? 230 : 40;
            p[1] = 40;
            p[2] = x < 400 ? 40 : 230;
        }
    ASSERT_TRUE(osgDB::writeImageFile(*photo, h.rootDir() + "/ortho.png"));
    tavritest::writeFile(h.rootDir() + "/ortho.pgw", "1\n0\n0\n-1\n635900.5\n849599.5\n");
    const tavritest::RunResult r = tavritest::run(
        {tavritest::buildDir() + "/Bin/tin", "--extents", "636000,848900,637200,849500", "--tileSize", "600",
         "--texture", h.rootDir() + "/ortho.png", tavritest::sharedData() + "/las/autzen_trim.las"},
        terrain, 300.0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_NE(r.out.find("is unknown; the two are assumed to match"), std::string::npos) << r.out;

    h.writeConfiguration(
        "<Scene><Model name=\"Autzen\" filename=\"../Content/Terrain/848900_636000_600.ive\" layerNum=\"0\" "
        "visible=\"1\"/></Scene>\n"
        "<Navigation homeEyeX=\"636300\" homeEyeY=\"848700\" homeEyeZ=\"900\" homeCenterX=\"636300\" "
        "homeCenterY=\"849200\" homeCenterZ=\"450\"/>\n"
        "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>");
    h.setup();
    h.frame(3);
    // Mean red minus blue over the tile's western and eastern part, in the view's lower half.
    auto redOverBlue = [&h](bool left) {
        osg::ref_ptr<osg::Image> image = h.readPixels();
        double sum = 0.0;
        int n = 0;
        const int from = left ? image->s() * 22 / 100 : image->s() * 55 / 100;
        const int to = left ? image->s() * 45 / 100 : image->s() * 90 / 100;
        for (int y = 30; y < image->t() / 2; ++y)
            for (int x = from; x < to; ++x)
            {
                const unsigned char* p = image->data(x, y);
                sum += int(p[0]) - int(p[2]);
                ++n;
            }
        return sum / n;
    };
    EXPECT_GT(redOverBlue(true), 25.0);
    EXPECT_LT(redOverBlue(false), -25.0);

    h.key(osgGA::GUIEventAdapter::KEY_F6);
    h.frame(2);
    EXPECT_LT(std::abs(redOverBlue(true)), 6.0);
    EXPECT_LT(std::abs(redOverBlue(false)), 6.0);
}
