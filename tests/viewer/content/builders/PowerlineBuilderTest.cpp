#include "tests/viewer/content/ContentTree.h"

#include "viewer/content/builders/ConductorBuilder.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LOD>

#include <filesystem>

using osgTAVRI::PowerlineBuilder;
using tavritest::ContentTree;

namespace
{
const std::string listPath = "Content/Powerline/Koordinatlista_Stolpar_TavriView.txt";

void expectNear(const osg::Vec3d& actual, const osg::Vec3d& expected, const char* what, double tolerance = 1e-9)
{
    EXPECT_LT((actual - expected).length(), tolerance)
        << what << ": (" << actual.x() << ", " << actual.y() << ", " << actual.z() << ")";
}

std::vector<std::string> names(const std::vector<osg::Node*>& nodes)
{
    std::vector<std::string> n;
    for (const osg::Node* node : nodes)
        n.push_back(node->getName());
    return n;
}
} // namespace

TEST(PowerlineBuilder, ReadsThePylonListAsItsNumbersGroupTheRecords)
{
    ContentTree tree;
    tree.writeMarkerBlock("Unit");
    tree.write(listPath, "Nr,Block,X,Y,Z,Rz,Rx,Ry,Ox,Oy,Oz,Tx,Ty,Tz\n"
                         "7,Unit,100,200,10,0,0,0,0,0,0,0,0,0\n"
                         "7,Unit,0,0,5,100,0,0,0,0,0,0,0,0\n"
                         "8,Missing,300,200,10,0,0,0,0,0,0,0,0,0\n"
                         "7,Unit,500,200,10,0,0,0,0,0,0,0,0,0");
    tavritest::NotifyCapture capture(osg::WARN);
    osg::ref_ptr<osg::Group> root = PowerlineBuilder(tree.powerlineSettings()).build();
    ASSERT_TRUE(root.valid());

    // The header reads as pylon 0 and is skipped; equal numbers make one pylon only on
    // consecutive lines; the last line counts without its line break.
    const std::vector<osg::Node*> pylons = tavritest::findNamed(root.get(), "Pylon ");
    ASSERT_EQ(names(pylons), std::vector<std::string>({"Pylon 7", "Pylon 8", "Pylon 7"}));
    for (osg::Node* pylon : pylons)
    {
        ASSERT_EQ(pylon->getNumParents(), 1u);
        const osg::LOD* lod = dynamic_cast<const osg::LOD*>(pylon->getParent(0));
        ASSERT_NE(lod, nullptr);
        EXPECT_EQ(lod->getMaxRange(0), 200000.0f);
    }

    // A zero target turns the further block (100 gon: its X axis to the south) instead of stretching it.
    const auto blocks = tavritest::geometryVertices(pylons[0]);
    ASSERT_EQ(blocks.size(), 2u);
    expectNear(blocks[0][0], osg::Vec3d(100, 200, 10), "first block");
    expectNear(blocks[1][0], osg::Vec3d(100, 200, 15), "turned block");
    expectNear(blocks[1][1], osg::Vec3d(100, 200, 14), "turned block, unit end");
    expectNear(blocks[1][2], osg::Vec3d(100, 199, 15), "turned block, X axis");

    // A block that cannot be read leaves its pylon and label in place.
    EXPECT_TRUE(tavritest::geometryVertices(pylons[1]).empty());
    const auto labels = tavritest::placedTexts(pylons[1]);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].text, "8");
    expectNear(labels[0].position, osg::Vec3d(330, 200, 10), "label");
    EXPECT_EQ(labels[0].drawable->getBackdropType(), osgText::Text::OUTLINE);
    EXPECT_EQ(labels[0].drawable->getCharacterHeight(), 10.0f);
    EXPECT_EQ(labels[0].billboard->getMode(), osg::Billboard::POINT_ROT_EYE);
    expectNear(tavritest::geometryVertices(pylons[2])[0][0], osg::Vec3d(500, 200, 10), "last pylon");

    // No wire files: an empty conductor geode, the pylons still there.
    const std::vector<osg::Node*> conductors = tavritest::findNamed(root.get(), "Conductors");
    ASSERT_EQ(conductors.size(), 1u);
    EXPECT_EQ(conductors[0]->asGeode()->getNumDrawables(), 0u);

    // One line for the list, naming the file and the header's line; one for the block.
    EXPECT_EQ(capture.texts(osg::WARN).size(), 2u) << capture.all();
    EXPECT_EQ(capture.linesWith(tree.path(listPath) + ": line 1: pylon number 0").size(), 1u) << capture.all();
    EXPECT_EQ(capture.linesWith("\"Missing.ive\" could not be read").size(), 1u) << capture.all();
}

TEST(PowerlineBuilder, PlacesTurnedAndStretchedBlocksInThePylonFrame)
{
    ContentTree tree;
    tree.writeMarkerBlock("Unit");
    // Pylon 1 is turned 100 gon about Z, which maps its local (x, y) to (y, -x): its X axis
    // and its label point south. Its block frame is offset by (1, 2, 3).
    tree.write(listPath, "1,Unit,1000,2000,50,100,0,0,1,2,3,0,0,0\n"
                         "1,Unit,2,-1,4,0,0,0,0,0,0,-3,6,20\n"
                         "2,Unit,0,0,0,0,0,0,0,0,0,0,0,0\n"
                         "2,Unit,5,5,0,0,0,0,0,0,0,5,5,-10\n");
    tavritest::NotifyCapture capture(osg::WARN);
    osg::ref_ptr<osg::Group> root = PowerlineBuilder(tree.powerlineSettings()).build();
    ASSERT_TRUE(root.valid());
    const std::vector<osg::Node*> pylons = tavritest::findNamed(root.get(), "Pylon ");
    ASSERT_EQ(pylons.size(), 2u);

    const osg::Vec3d p(1000, 2000, 50);
    const auto turned = tavritest::geometryVertices(pylons[0]);
    ASSERT_EQ(turned.size(), 2u);
    expectNear(turned[0][0], p + osg::Vec3d(2, -1, 3), "block frame origin");
    expectNear(turned[0][2], p + osg::Vec3d(2, -2, 3), "block X axis");
    expectNear(tavritest::placedTexts(pylons[0])[0].position, p + osg::Vec3d(0, -30, 0), "label");
    // A unit block spans exactly from the position to the target.
    expectNear(turned[1][0], p + osg::Vec3d(1, -3, 7), "stretched block start");
    expectNear(turned[1][1], p + osg::Vec3d(8, 2, 23), "stretched block end");

    // Straight down: still a proper placement, its up axis to the north.
    const auto vertical = tavritest::geometryVertices(pylons[1]);
    ASSERT_EQ(vertical.size(), 2u);
    expectNear(vertical[1][0], osg::Vec3d(5, 5, 0), "vertical block start");
    expectNear(vertical[1][1], osg::Vec3d(5, 5, -10), "vertical block end");
    expectNear(vertical[1][3], osg::Vec3d(5, 6, 0), "vertical block up");
    EXPECT_TRUE(capture.texts(osg::WARN).empty()) << capture.all();
}

TEST(PowerlineBuilder, ConductorsAreTubesOfThreeStripsAroundEveryWirePoint)
{
    ContentTree tree;
    tree.write(listPath, "");
    // Northing, easting, height at national grid coordinates; the first point repeated, and
    // one further on. Level, so that the side vector has unit length.
    const std::vector<osg::Vec3d> points = {{101000, 6401000, 30}, {101010, 6401000, 30}, {101020, 6401003, 30},
                                            {101020, 6401003, 30}, {101030, 6401006, 30}};
    std::string wire = "6401000,101000,30\n";
    for (const osg::Vec3d& q : points)
        wire += std::to_string(q.y()) + "," + std::to_string(q.x()) + "," + std::to_string(q.z()) + "\n";
    tree.write("Content/Powerline/Lft_1.txt", wire);
    tree.write("Content/Powerline/Lft_2.txt", "6401000,101000,30\n");
    tree.write("Content/Powerline/LFT_3.txt", "not a wire file");
    std::filesystem::create_directories(tree.powerline() + "Lft_folder");

    tavritest::NotifyCapture capture(osg::WARN);
    osg::ref_ptr<osg::Group> root = PowerlineBuilder(tree.powerlineSettings()).build();
    ASSERT_TRUE(root.valid());
    const std::vector<osg::Node*> conductors = tavritest::findNamed(root.get(), "Conductors");
    ASSERT_EQ(conductors.size(), 1u);
    ASSERT_EQ(conductors[0]->asGeode()->getNumDrawables(), 1u);
    const osg::Geometry* tube = conductors[0]->asGeode()->getDrawable(0)->asGeometry();
    ASSERT_EQ(tube->getNumPrimitiveSets(), 3u);
    for (unsigned int side = 0; side < 3; ++side)
    {
        const osg::PrimitiveSet* strip = tube->getPrimitiveSet(side);
        EXPECT_EQ(strip->getMode(), GLenum(GL_TRIANGLE_STRIP));
        ASSERT_EQ(strip->getNumIndices(), 2 * points.size());
        for (unsigned int j = 0; j < points.size(); ++j)
        {
            EXPECT_EQ(strip->index(2 * j), 3 * j + side);
            EXPECT_EQ(strip->index(2 * j + 1), 3 * j + (side + 1) % 3);
        }
    }

    // Every vertex lies 0.0175 m from its wire point, one corner straight below it, even at
    // grid coordinates where single precision alone would be half a metre coarse.
    const std::vector<osg::Vec3d> vertices = tavritest::geometryVertices(root.get()).at(0);
    ASSERT_EQ(vertices.size(), 3 * points.size());
    for (std::size_t j = 0; j < points.size(); ++j)
    {
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR((vertices[3 * j + k] - points[j]).length(), 0.0175, 1e-4) << "point " << j << " corner " << k;
        expectNear(osg::Vec3d(points[j].x(), points[j].y(), 0.0),
                   osg::Vec3d(vertices[3 * j].x(), vertices[3 * j].y(), 0.0), "lower corner", 1e-5);
        EXPECT_LT(vertices[3 * j].z(), points[j].z());
    }

    // One line for each degenerate wire and for the folder that is not a file.
    EXPECT_EQ(capture.linesWith("Lft_1.txt: 1 leading point(s) equal to the next one skipped").size(), 1u)
        << capture.all();
    EXPECT_EQ(capture.linesWith("Lft_2.txt: fewer than two distinct points").size(), 1u) << capture.all();
    EXPECT_EQ(capture.linesWith("Wire coordinate file could not be opened").size(), 1u) << capture.all();
    EXPECT_EQ(capture.texts(osg::WARN).size(), 3u) << capture.all();
}

TEST(PowerlineBuilder, WithoutAPylonListThereIsNoPowerLine)
{
    ContentTree tree;
    tree.write("Content/Powerline/Lft_1.txt", "0,0,0\n0,10,0\n");
    tavritest::NotifyCapture capture(osg::WARN);
    EXPECT_FALSE(PowerlineBuilder(tree.powerlineSettings()).build().valid());
    EXPECT_EQ(capture.texts(osg::WARN), std::vector<std::string>({"Pylon coordinate list not found"}));
}

// Pylon 2's first record cannot be read; its next record holds block coordinates, which must
// not place the pylon in the world.
TEST(PowerlineBuilder, ABrokenFirstRecordSkipsItsWholePylonWithOneLine)
{
    ContentTree tree;
    tree.writeMarkerBlock("Unit");
    tree.write(listPath, "1,Unit,100,200,10,0,0,0,0,0,0,0,0,0\n"
                         "1,Unit,0,0,5,0,0,0,0,0,0,1e300,0,0\n"
                         "2,Unit,1e300,200,10,0,0,0,0,0,0,0,0,0\n"
                         "2,Unit,0,0,5,0,0,0,0,0,0,0,0,0\n"
                         "2,Unit,0,0,9,0,0,0,0,0,0,0,0,0\n"
                         "3,Unit,300,200,10,0,0,0,0,0,0,0,0,0\n");
    tavritest::NotifyCapture capture(osg::WARN);
    osg::ref_ptr<osg::Group> root = PowerlineBuilder(tree.powerlineSettings()).build();
    ASSERT_TRUE(root.valid());
    const std::vector<osg::Node*> pylons = tavritest::findNamed(root.get(), "Pylon ");
    EXPECT_EQ(names(pylons), std::vector<std::string>({"Pylon 1", "Pylon 3"}));
    // A broken further record costs only its block.
    ASSERT_FALSE(pylons.empty());
    EXPECT_EQ(tavritest::geometryVertices(pylons[0]).size(), 1u);
    // One line names the lost pylon, one the file's other problems.
    const std::vector<std::string> warnings = capture.texts(osg::WARN);
    ASSERT_EQ(warnings.size(), 2u) << capture.all();
    EXPECT_NE(warnings[0].find("line 3: pylon 2 skipped, its first record cannot be used"), std::string::npos)
        << warnings[0];
    EXPECT_NE(warnings[1].find("line 2: a number out of range, record skipped"), std::string::npos) << warnings[1];
}
