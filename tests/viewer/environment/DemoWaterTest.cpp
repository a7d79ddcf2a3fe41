#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/sea/SeaDrawable.h"

#include <sstream>

using namespace tavritest;

namespace
{
// The lines of the demo's configuration with the given element's line left out.
std::string withoutElements(const std::string& text, const std::vector<std::string>& elements)
{
    std::istringstream in(text);
    std::string line, kept;
    while (std::getline(in, line))
    {
        bool drop = false;
        for (const std::string& element : elements)
            drop = drop || line.find("<" + element) != std::string::npos;
        if (!drop)
            kept += line + "\n";
    }
    return kept;
}
} // namespace

// The installed demo with its own water settings, seen low over the sea south of the terrain,
// looking north at the shore: the sea covers the lower part of the picture, and the terrain
// above the water is drawn into the reflection, mirrored below the horizon.
TEST(DemoWater, TheSeaSurroundsTheDemoTerrainAndMirrorsIt)
{
    const std::string dist = distDir();
    ASSERT_TRUE(fileExists(dist + "/Content/Terrain")) << "no demo terrain in " << dist << " (make dist builds it)";
    const std::string demo = readFile(sourceDir() + "/demo/Configuration.xml");
    ASSERT_NE(demo.find("enableWater=\"1\""), std::string::npos) << "the demo enables water";

    ViewerHarness h;
    h.copyIntoTree(dist + "/Content", "Content");
    h.copyIntoTree(dist + "/Resources", "Resources");
    // The models as installed, the water as the demo sets it, our window and view.
    const std::string installed = readFile(dist + "/Resources/Configuration.xml");
    const std::string environment = demo.substr(demo.find("<Environment"));
    h.writeConfiguration(withoutElements(installed, {"Window", "Navigation", "Environment"}) +
                         environment.substr(0, environment.find('\n')) +
                         "\n<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>"
                         "<Navigation homeEyeX=\"101000\" homeEyeY=\"6399700\" homeEyeZ=\"10\" "
                         "homeCenterX=\"101050\" homeCenterY=\"6400500\" homeCenterZ=\"10\"/>");
    h.setup();
    h.key(osgGA::GUIEventAdapter::KEY_F1); // the help page off
    h.frame(3);
    osgTAVRI::SeaDrawable* sea = findSea(h.scene());
    ASSERT_NE(sea, nullptr);
    EXPECT_NE(sea->getOcean(), nullptr);

    osg::ref_ptr<osg::Image> screen = h.readPixels();
    ASSERT_TRUE(screen.valid());
    int water = 0, samples = 0;
    for (int y = 5; y < 80; y += 5)
        for (int x = 120; x < 320; x += 10, ++samples)
        {
            const osg::Vec3i p = pixel(screen.get(), x, y);
            water += p.z() > p.x() + 30;
        }
    EXPECT_GT(water, samples * 9 / 10);

    // The terrain fills a band of the reflection just below the horizon, and only there.
    osg::ref_ptr<osg::Image> texture = readReflection(h);
    ASSERT_TRUE(texture.valid());
    int below = 0, above = 0;
    for (int y = 0; y < texture->t(); y += 2)
        for (int x = 0; x < texture->s(); x += 2)
            if (texture->data(x, y)[3] != 0)
                ++(y < texture->t() / 2 ? below : above);
    EXPECT_GT(below, 512 * 512 / 40);
    EXPECT_EQ(above, 0);
}
