#include "tests/viewer/ViewerHarness.h"
#include "tin/las/LasWriter.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/navigation/TerrainFollowing.h"
#include "viewer/scene/PagedIntersectionCache.h"
#include "viewer/scene/SceneController.h"

#include <osg/Geometry>
#include <osg/KdTree>
#include <osg/PagedLOD>
#include <osgDB/DatabasePager>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <cmath>
#include <filesystem>
#include <fstream>

using tavritest::ViewerHarness;

namespace
{
// 1600 m square of rolling ground, a point every 2.5 m (the least that the 5 % margin of a
// tile bridges), cut into 32 x 32 tiles of 50 m: a database of 1024 tiles of about 450 points.
const double originX = 100000.0, originY = 6400000.0, side = 1600.0, tileSize = 50.0;

double ground(double x, double y) { return 20.0 + 8.0 * std::sin((x - originX) / 120.0) + 6.0 * std::cos((y - originY) / 170.0); }

std::string tileName(int row, int column)
{
    return std::to_string(int(originY + row * tileSize)) + "_" + std::to_string(int(originX + column * tileSize)) + "_50.ive";
}

// Writes the scan and runs tin on it in `folder`; the database's root is terrain.ive. With
// `tiles` below 32, only the south-west tiles x tiles of the area.
void makeDatabase(const std::string& folder, int tiles = 32)
{
    std::filesystem::create_directories(folder);
    const std::string las = folder + "/scan.las";
    {
        std::ofstream out(las.c_str(), std::ios::binary);
        osgTAVRI::LasWriter writer(out, osgTAVRI::LasWriter::Settings());
        for (int j = 0; j <= 20 * tiles; ++j)
            for (int i = 0; i <= 20 * tiles; ++i)
            {
                const double x = originX + 2.5 * i, y = originY + 2.5 * j;
                writer.addPoint(x, y, ground(x, y));
            }
        writer.finish();
    }
    const std::string extent = "100000,6400000," + std::to_string(int(originX + tiles * tileSize)) + "," +
                               std::to_string(int(originY + tiles * tileSize));
    const tavritest::RunResult r =
        tavritest::run({tavritest::buildDir() + "/Bin/tin", "--extents", extent, "--tileSize", "50", "--numThreads",
                        "2", "--pagedDatabase", "terrain.ive", las},
                       folder, 300.0);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_NE(r.out.find("Paged database terrain.ive: " + std::to_string(tiles * tiles) + " tile(s)"),
              std::string::npos)
        << r.out;
}

// The tiles that the pager has loaded below `node`: a tile's PagedLOD has its finer child.
std::vector<osg::Vec3d> loadedTiles(osg::Node* node)
{
    struct Visitor : osg::NodeVisitor
    {
        Visitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::PagedLOD& lod) override
        {
            if (lod.getNumFileNames() > 1 && lod.getFileName(1).compare(0, 3, "../") == 0 && lod.getNumChildren() > 1)
                centres.push_back(lod.getCenter());
            traverse(lod);
        }
        std::vector<osg::Vec3d> centres;
    } visitor;
    node->accept(visitor);
    return visitor.centres;
}

bool hasKdTrees(osg::Node* node)
{
    struct Visitor : osg::NodeVisitor
    {
        Visitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Geometry& geometry) override { all = all && dynamic_cast<osg::KdTree*>(geometry.getShape()); }
        bool all = true;
    } visitor;
    node->accept(visitor);
    return visitor.all;
}

osg::Matrixd view(const osg::Vec3d& eye, const osg::Vec3d& centre)
{
    return osg::Matrixd::inverse(osg::Matrixd::lookAt(eye, centre, osg::Vec3d(0.0, 0.0, 1.0)));
}
} // namespace

// The viewer opens a database of 1024 tiles like any model: the first frame draws the coarse
// levels of the root, and flying low over a far corner pages in the tiles there (with their
// KD-trees, built on the pager's threads) and no tile of the other corners. A damaged tile
// there is named in one line and its patch stays coarse.
TEST(PagedTerrain, OpensAThousandTilesAndPagesInWhereTheEyeGoes)
{
    ViewerHarness h;
    const std::string terrain = h.contentDir() + "/Terrain";
    makeDatabase(terrain);
    tavritest::writeFile(terrain + "/" + tileName(1, 1), "damaged");
    h.writeConfiguration(
        "<Scene><Model name=\"Terrain\" filename=\"../Content/Terrain/terrain.ive\" layerNum=\"0\" visible=\"1\"/>"
        "</Scene>\n"
        "<Environment backgroundColorRed=\"0\" backgroundColorGreen=\"0\" backgroundColorBlue=\"1\"/>\n"
        "<Navigation homeEyeX=\"100800\" homeEyeY=\"6399600\" homeEyeZ=\"1400\" homeCenterX=\"100800\" "
        "homeCenterY=\"6400800\" homeCenterZ=\"0\"/>\n"
        "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>");
    tavritest::NotifyCapture capture(osg::NOTICE);
    h.setup();
    osg::ref_ptr<osg::Image> image = h.readPixels();
    ASSERT_TRUE(image.valid());
    unsigned terrainPixels = 0, total = 0;
    for (int y = 0; y < image->t() / 2; ++y)
        for (int x = 0; x < image->s(); ++x, ++total)
        {
            const unsigned char* p = image->data(x, y);
            terrainPixels += !(p[0] < 20 && p[1] < 20 && p[2] > 235);
        }
    EXPECT_GT(terrainPixels, total * 9 / 10) << terrainPixels << " of " << total;
    EXPECT_TRUE(loadedTiles(h.scene()).empty());

    // Low over the south-west corner, looking north-east along the ground.
    h.navigationController()->setByMatrix(view(osg::Vec3d(originX + 20, originY + 20, 60), osg::Vec3d(originX + 120, originY + 120, 20)));
    osgDB::DatabasePager* pager = h.viewer().getDatabasePager();
    ASSERT_TRUE(pager);
    auto settled = [&] {
        h.frame();
        return !loadedTiles(h.scene()).empty() && !pager->getRequestsInProgress();
    };
    ASSERT_TRUE(tavritest::waitFor(settled, 120.0));
    for (int i = 0; i < 20; ++i)
        h.frame();
    // Tiles the home view refined may still be there; none lies in the far north-east.
    unsigned nearCorner = 0;
    for (const osg::Vec3d& c : loadedTiles(h.scene()))
    {
        nearCorner += c.x() < originX + 300 && c.y() < originY + 300;
        EXPECT_FALSE(c.x() > originX + 1300 && c.y() > originY + 1300) << c.x() << " " << c.y();
    }
    EXPECT_GE(nearCorner, 4u);

    struct FirstTile : osg::NodeVisitor
    {
        FirstTile() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::PagedLOD& lod) override
        {
            if (!found && lod.getNumChildren() > 1 && lod.getName() == "6400000_100000_50")
                found = lod.getChild(1);
            traverse(lod);
        }
        osg::Node* found = nullptr;
    } first;
    h.scene()->accept(first);
    ASSERT_TRUE(first.found) << "the corner tile was not paged in";
    EXPECT_TRUE(hasKdTrees(first.found));

    EXPECT_EQ(capture.linesWith("cannot be read; its patch stays coarser").size(), 1u) << capture.all();
    EXPECT_EQ(capture.linesWith(tileName(1, 1)).size(), 1u) << capture.all();
}

// Terrain following meets the ground of the finest tiles over a paged database whose tiles
// were never paged in: the pivot is the one over the plain tiles, to the centimetre.
TEST(PagedTerrain, TerrainFollowingUsesTheFinestGroundBeforeItIsLoaded)
{
    tavritest::TempDir dir;
    makeDatabase(dir.path());
    osg::ref_ptr<osg::Node> paged = osgDB::readRefNodeFile(dir.file("terrain.ive"));
    ASSERT_TRUE(paged.valid());
    osg::ref_ptr<osg::Group> plain = new osg::Group;
    for (int row = 0; row < 32; ++row)
        for (int column = 0; column < 32; ++column)
            plain->addChild(osgDB::readRefNodeFile(dir.file(tileName(row, column))));

    auto pivotOver = [](osg::Node* scene, const osg::Matrixd& matrix) {
        osg::ref_ptr<osg::Camera> camera = new osg::Camera;
        camera->setViewport(0, 0, 320, 240);
        camera->setProjectionMatrixAsPerspective(30.0, 320.0 / 240.0, 1.0, 10000.0);
        camera->setViewMatrix(osg::Matrixd::inverse(matrix));
        camera->addChild(scene);
        return osgTAVRI::TerrainFollowing::findPivot(camera.get(), matrix);
    };
    const unsigned readsBefore = osgTAVRI::PagedIntersectionCache::instance()->getNumReads();
    for (int k = 0; k < 6; ++k)
    {
        const osg::Vec3d eye(originX + 137.0 + 251.0 * k, originY + 1300.0 - 233.0 * k, 300.0);
        const osg::Matrixd matrix = view(eye, eye + osg::Vec3d(40.0, 90.0, -200.0));
        const osg::Vec3f overTiles = pivotOver(plain.get(), matrix), overPaged = pivotOver(paged.get(), matrix);
        EXPECT_NEAR(overPaged.z(), ground(overTiles.x(), overTiles.y()), 1.0);
        EXPECT_NEAR((overPaged - overTiles).length(), 0.0, 0.01)
            << k << ": " << overTiles.x() << " " << overTiles.y() << " " << overTiles.z() << " vs " << overPaged.x()
            << " " << overPaged.y() << " " << overPaged.z();
    }
    EXPECT_GT(osgTAVRI::PagedIntersectionCache::instance()->getNumReads(), readsBefore);
    EXPECT_TRUE(loadedTiles(paged.get()).empty());
}


// A database served by a plain HTTP server opens through the network reader: its root, then
// the levels and tiles where the eye goes, each kept in the file cache once fetched. A model
// on a server that does not answer is one line, and the viewer goes on.
TEST(PagedTerrain, OpensADatabaseOnAWebServerWithTheFileCache)
{
    tavritest::TempDir served, cache;
    makeDatabase(served.path(), 4);
    const unsigned port = tavritest::freePort();
    tavritest::Process server;
    server.start({"/usr/bin/python3", "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1", "--directory",
                  served.path()});
    ASSERT_TRUE(tavritest::waitFor([&] { return tavritest::portAnswers(port); }, 30.0)) << server.errorOutput();
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    osgDB::Registry::instance()->setFileCache(nullptr); // the viewer makes its own

    ViewerHarness h;
    const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/terrain.ive";
    h.writeConfiguration("<Scene><Model name=\"Terrain\" filename=\"" + address +
                         "\" layerNum=\"0\" visible=\"1\"/>"
                         "<Model name=\"Gone\" filename=\"http://127.0.0.1:1/terrain.ive\" layerNum=\"1\" "
                         "visible=\"1\"/></Scene>\n"
                         "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>");
    tavritest::NotifyCapture capture(osg::NOTICE);
    h.setup();
    ASSERT_EQ(h.sceneController()->getNumModels(), 2u);
    EXPECT_TRUE(h.sceneController()->getModel(0).node.valid());
    EXPECT_FALSE(h.sceneController()->getModel(1).node.valid());
    std::size_t unreachable = 0;
    for (const std::string& line : capture.texts(osg::WARN))
        unreachable += line.find("127.0.0.1:1/") != std::string::npos;
    EXPECT_EQ(unreachable, 1u) << capture.all();

    h.frame(); // the home view, before ours
    h.navigationController()->setByMatrix(
        view(osg::Vec3d(originX + 20, originY + 20, 60), osg::Vec3d(originX + 120, originY + 120, 20)));
    osgDB::DatabasePager* pager = h.viewer().getDatabasePager();
    ASSERT_TRUE(tavritest::waitFor(
        [&] {
            h.frame();
            return loadedTiles(h.scene()).size() >= 4 && !pager->getRequestsInProgress();
        },
        120.0)) << capture.all();
    const std::string cached = cache.path() + "/TAVRIview/127.0.0.1:" + std::to_string(port);
    EXPECT_TRUE(tavritest::fileExists(cached + "/terrain_levels/L2_0_0.ive")) << capture.all();
    EXPECT_TRUE(tavritest::fileExists(cached + "/6400000_100000_50.ive")) << capture.all();
    server.kill();
}
