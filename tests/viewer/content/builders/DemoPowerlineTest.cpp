#include "tests/viewer/SceneProbe.h"
#include "tests/viewer/content/ContentTree.h"

#include "viewer/content/builders/PylonBuilder.h"
#include "viewer/content/readers/PylonList.h"

#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>

#include <fstream>
#include <set>

using osgTAVRI::PylonBuilder;
using osgTAVRI::PylonRecord;
using tavritest::ViewerHarness;

namespace
{
std::string attribute(const char* name, double value)
{
    return std::string(" ") + name + "=\"" + std::to_string(value) + "\"";
}

double groundAt(osg::Node* terrain, const osg::Vec3d& p)
{
    osg::ref_ptr<osgUtil::LineSegmentIntersector> ray = new osgUtil::LineSegmentIntersector(
        osg::Vec3d(p.x(), p.y(), 10000.0), osg::Vec3d(p.x(), p.y(), -10000.0));
    osgUtil::IntersectionVisitor visitor(ray.get());
    terrain->accept(visitor);
    return ray->containsIntersections() ? ray->getFirstIntersection().getWorldIntersectPoint().z() : -1e9;
}
} // namespace

// The demo as `make dist` lays it out, run by the real viewer: every mast foot stands on the
// terrain, and from beside a pylon both the pylons and the sagging wires are in the picture.
TEST(DemoPowerline, PylonsStandOnTheTerrainAndPylonsAndWiresAreDrawn)
{
    const std::string dist = tavritest::distDir();
    const std::string listFile = dist + "/Content/Powerline/Koordinatlista_Stolpar_TavriView.txt";
    ASSERT_TRUE(tavritest::fileExists(listFile)) << "no demo power line in " << dist << " (make dist builds it)";
    std::ifstream in(listFile);
    osgTAVRI::ProblemLog problems(listFile);
    const std::vector<PylonRecord> records = osgTAVRI::PylonList::read(in, problems);
    ASSERT_GE(records.size(), 100u);
    EXPECT_EQ(problems.count(), 0u) << problems.text();

    ViewerHarness h;
    h.copyIntoTree(dist + "/Content/Powerline", "Content/Powerline");
    h.copyIntoTree(dist + "/Content/InfoPoints", "Content/InfoPoints");
    h.copyIntoTree(dist + "/Resources/Fonts", "Resources/Fonts");
    h.copyIntoTree(dist + "/Resources/Images", "Resources/Images");
    std::string models;
    for (const std::string& tile : tavritest::listDir(dist + "/Content/Terrain"))
        if (tile.size() > 4 && tile.compare(tile.size() - 4, 4, ".ive") == 0 && tile != "terrain.ive")
            models += "<Model name=\"" + tile + "\" filename=\"" + dist + "/Content/Terrain/" + tile +
                      "\" layerNum=\"0\" visible=\"1\"/>";

    // From the left of the line and a little behind pylon 5, towards its cross-arm.
    const PylonRecord* pylon = nullptr;
    for (const PylonRecord& r : records)
        if (r.number == 5 && !pylon)
            pylon = &r;
    ASSERT_NE(pylon, nullptr);
    // The pylon's block frame: its origin on the ground at the foot of its first block.
    const osg::Matrixd frame = osg::Matrixd::translate(pylon->offset) *
                               PylonBuilder::placementMatrix(pylon->rz, 0.0, 0.0, pylon->position);
    const osg::Vec3d eye = osg::Vec3d(-37.0, -25.0, 12.0) * frame, center = osg::Vec3d(3.0, 10.0, 16.0) * frame;
    h.writeConfiguration("<Scene loadInfoPoints=\"1\" generatePowerline=\"1\">" + models + "</Scene>\n" +
                         "<Navigation" + attribute("homeEyeX", eye.x()) + attribute("homeEyeY", eye.y()) +
                         attribute("homeEyeZ", eye.z()) + attribute("homeCenterX", center.x()) +
                         attribute("homeCenterY", center.y()) + attribute("homeCenterZ", center.z()) + "/>\n" +
                         "<Window x=\"0\" y=\"0\" width=\"640\" height=\"480\" numSamples=\"0\"/>\n");
    tavritest::NotifyCapture capture(osg::WARN);
    h.setup();
    h.frame(3);
    EXPECT_TRUE(capture.texts(osg::WARN).empty()) << capture.all();
    // The scene alone: the help page shown at start would veil it.
    h.overlay()->setNodeMask(0);

    // Content joins last, after the terrain layer and the lights: information points, then
    // the power line.
    osg::Group* scene = h.scene();
    const unsigned int count = scene->getNumChildren();
    ASSERT_GE(count, 3u);
    osg::Node* terrain = scene->getChild(0);
    osg::Node* powerline = scene->getChild(count - 1);
    EXPECT_EQ(tavritest::placedTexts(scene->getChild(count - 2)).size(), 10u);
    const std::vector<osg::Node*> conductors = tavritest::findNamed(powerline, "Conductors");
    ASSERT_EQ(conductors.size(), 1u);
    EXPECT_EQ(tavritest::findNamed(powerline, "Pylon ").size(), 20u);

    // Both masts of every pylon reach the ground and do not hang above it.
    for (const PylonRecord& r : records)
        if (r.block == "Mast")
        {
            const PylonRecord& first = *std::find_if(records.begin(), records.end(),
                                                     [&](const PylonRecord& f) { return f.number == r.number; });
            const osg::Vec3d local = &first == &r ? first.offset : first.offset + r.position;
            const osg::Vec3d foot = local * PylonBuilder::placementMatrix(first.rz, 0.0, 0.0, first.position);
            const double ground = groundAt(terrain, foot);
            EXPECT_LE(foot.z(), ground + 0.01) << "pylon " << r.number;
            EXPECT_GE(foot.z(), ground - 2.0) << "pylon " << r.number;
        }

    // What the power line and then the wires alone add to the picture.
    osg::ref_ptr<osg::Image> all = h.readPixels();
    conductors[0]->setNodeMask(0);
    osg::ref_ptr<osg::Image> noWires = h.readPixels();
    powerline->setNodeMask(0);
    osg::ref_ptr<osg::Image> nothing = h.readPixels();
    ASSERT_TRUE(all.valid() && noWires.valid() && nothing.valid());
    const int pylonPixels = tavritest::differingPixels(*noWires, *nothing);
    EXPECT_GT(pylonPixels, all->s() * all->t() / 100) << "the near pylon takes a good part of the view";

    std::set<int> wireColumns;
    int wirePixels = 0;
    for (int y = 0; y < all->t(); ++y)
        for (int x = 0; x < all->s(); ++x)
        {
            const unsigned char* a = all->data(x, y);
            const unsigned char* b = noWires->data(x, y);
            if (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 30)
            {
                ++wirePixels;
                wireColumns.insert(x);
            }
        }
    EXPECT_GT(wirePixels, 200);
    EXPECT_GT(wireColumns.size(), static_cast<std::size_t>(all->s() / 2)) << "the wires run across the view";
}
