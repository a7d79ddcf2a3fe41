#include "tests/viewer/navigation/NavigationDriver.h"
#include "tests/support/GridMesh.h"
#include "tests/support/TestSupport.h"

#include "viewer/navigation/TerrainFollowing.h"

#include <gtest/gtest.h>

#include <osg/ClearNode>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/KdTree>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include <cmath>

using osgTAVRI::NavigationController;
using navtest::NavigationDriver;

namespace
{

const osg::Vec3d tileCentre(1000.0, 2000.0, 0.0);
const double tileHalfSize = 500.0;

double terrainHeight(double x, double y)
{
    return 20.0 + 10.0 * std::sin((x - tileCentre.x()) / 80.0) * std::cos((y - tileCentre.y()) / 110.0);
}

// A terrain tile laid out like the tiles that tin writes: single-precision
// vertices relative to the tile centre under a translation to it.
osg::Node* makeTerrainTile(double spacing)
{
    const int n = static_cast<int>(2.0 * tileHalfSize / spacing) + 1;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const double x = -tileHalfSize + i * spacing;
            const double y = -tileHalfSize + j * spacing;
            vertices->push_back(osg::Vec3(x, y, terrainHeight(x + tileCentre.x(), y + tileCentre.y())));
        }
    osg::MatrixTransform* tile = new osg::MatrixTransform(osg::Matrixd::translate(tileCentre));
    tile->addChild(tavritest::makeGridMesh(vertices.get(), n).get());
    return tile;
}

class KdTreeFinder : public osg::NodeVisitor
{
public:
    KdTreeFinder() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Drawable& drawable) override
    {
        found = found || dynamic_cast<osg::KdTree*>(drawable.getShape()) != nullptr;
    }
    bool found = false;
};

// The view direction that looks `degrees` below the horizon towards north.
osg::Vec3d northDown(double degrees)
{
    const double a = osg::DegreesToRadians(degrees);
    return osg::Vec3d(0.0, std::cos(a), -std::sin(a));
}

double horizontalDistance(const osg::Vec3d& a, const osg::Vec3d& b)
{
    return osg::Vec2d(a.x() - b.x(), a.y() - b.y()).length();
}

class TerrainFollowing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string path = dir.file("terrain.ive");
        ASSERT_TRUE(osgDB::writeNodeFile(*osg::ref_ptr<osg::Node>(makeTerrainTile(10.0)), path));
        osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
        options->setBuildKdTreesHint(osgDB::Options::BUILD_KDTREES);
        terrain = osgDB::readRefNodeFile(path, options.get());
        ASSERT_TRUE(terrain.valid());
        KdTreeFinder finder;
        terrain->accept(finder);
        ASSERT_TRUE(finder.found) << "the tile was read without KD-trees";
        useTerrain(terrain.get());
    }

    void useTerrain(osg::Node* node)
    {
        terrain = node;
        scene = new osg::Group;
        scene->addChild(terrain.get());
        nav.reset();
        nav.reset(new NavigationDriver(scene.get()));
    }

    // Puts the camera at the home view and switches to terrain following.
    void startTerrainFollowing(const osg::Vec3d& eye, const osg::Vec3d& direction)
    {
        nav->goHome(eye, eye + direction * 10.0);
        nav->frameAt(0.0);
        nav->press(osgGA::GUIEventAdapter::KEY_Tab);
        nav->frames(1);
        ASSERT_EQ(NavigationController::Mode::Following, nav->controller->getMode());
    }

    // Where the current view ray meets the terrain, found independently of the controller.
    bool terrainUnderView(osg::Vec3d& point) const
    {
        const osg::Vec3d eye = nav->eye();
        osg::ref_ptr<osgUtil::LineSegmentIntersector> ray =
            new osgUtil::LineSegmentIntersector(eye, eye + nav->viewDirection() * 10000.0);
        osgUtil::IntersectionVisitor visitor(ray.get());
        terrain->accept(visitor);
        if (!ray->containsIntersections())
            return false;
        point = ray->getFirstIntersection().getWorldIntersectPoint();
        return true;
    }

    tavritest::TempDir dir;
    osg::ref_ptr<osg::Node> terrain;
    osg::ref_ptr<osg::Group> scene;
    std::unique_ptr<NavigationDriver> nav;
};

} // namespace

TEST_F(TerrainFollowing, StraightDownBlocksKLetsITiltAndTurnsInPlace)
{
    // Off the grid lines: a ray along a shared edge can slip between two triangles.
    const osg::Vec3d eye(1003.7, 2004.1, 300.0);
    startTerrainFollowing(eye, osg::Vec3d(0.0, 0.0, -1.0));
    const double below = terrainHeight(eye.x(), eye.y());
    EXPECT_NEAR(osg::PI_2, osgTAVRI::TerrainFollowing::tilt(nav->controller->getMatrix()), 1e-6);
    EXPECT_NEAR(300.0 - below, nav->controller->getFusionDistanceValue(), 0.1);

    // J and L swing about the vertical through the point below: the eye stays.
    for (int key : {'j', 'l'})
    {
        const osg::Vec3d upBefore = nav->upDirection();
        nav->keyDown(key);
        nav->frames(30);
        nav->keyUp(key);
        nav->frames(80);
        EXPECT_NEAR(0.0, (nav->eye() - eye).length(), 1e-3);
        EXPECT_NEAR(-1.0, nav->viewDirection().z(), 1e-9);
        const double turned = (upBefore ^ nav->upDirection()).z();
        EXPECT_GT(key == 'j' ? turned : -turned, 0.3) << char(key) << " turns the wrong way";
    }

    // K would tip the view past the vertical.
    const osg::Vec3d eyeBefore = nav->eye();
    nav->keyDown('k');
    nav->frames(60);
    nav->keyUp('k');
    nav->frames(80);
    EXPECT_NEAR(0.0, (nav->eye() - eyeBefore).length(), 1e-3);
    EXPECT_NEAR(-1.0, nav->viewDirection().z(), 1e-9);

    // I lowers the eye around the ground point and tilts the view up.
    const osg::Vec3d pivot(eye.x(), eye.y(), below);
    nav->keyDown('i');
    nav->frames(20);
    nav->keyUp('i');
    nav->frames(80);
    EXPECT_GT(nav->viewDirection().z(), -0.95);
    EXPECT_LT(nav->eye().z(), eyeBefore.z() - 1.0);
    EXPECT_NEAR((eyeBefore - pivot).length(), (nav->eye() - pivot).length(), 0.2);
    osg::Vec3d hit;
    ASSERT_TRUE(terrainUnderView(hit));
    EXPECT_NEAR(0.0, horizontalDistance(hit, pivot), 0.5) << "the view still centres the same ground point";
}

TEST_F(TerrainFollowing, WKeepsTheHeightAtThirtyDegreesDownAndQRaisesTheEye)
{
    const osg::Vec3d eye(1003.7, 1704.1, 200.0);
    startTerrainFollowing(eye, northDown(30.0));
    nav->keyDown('w');
    nav->frames(60);
    nav->keyUp('w');
    nav->frames(80);
    EXPECT_NEAR(eye.z(), nav->eye().z(), 1e-3);
    EXPECT_NEAR(eye.x(), nav->eye().x(), 1e-3);
    EXPECT_GT(nav->eye().y(), eye.y() + 10.0);
    osg::Vec3d view = nav->viewDirection();
    EXPECT_NEAR(-0.5, view.z(), 1e-6) << "moving does not change the tilt";

    const osg::Vec3d before = nav->eye();
    nav->keyDown('q');
    nav->frames(30);
    nav->keyUp('q');
    nav->frames(80);
    EXPECT_NEAR(0.0, horizontalDistance(before, nav->eye()), 1e-3);
    EXPECT_GT(nav->eye().z(), before.z() + 10.0);
}

TEST_F(TerrainFollowing, SkyViewPivotsOnTheDatumPlane)
{
    // Above z = 0, away from the tile, looking 30 degrees up: the mirrored ray
    // meets z = 0 at 100 / tan(30) ahead, 200 m from the eye.
    const osg::Vec3d eye(0.0, 0.0, 100.0);
    startTerrainFollowing(eye, northDown(-30.0));
    EXPECT_NEAR(200.0, nav->controller->getFusionDistanceValue(), 1e-3);
    const osg::Vec3d pivot(0.0, 100.0 / std::tan(osg::DegreesToRadians(30.0)), 0.0);
    nav->keyDown('j');
    nav->frames(40);
    nav->keyUp('j');
    nav->frames(80);
    EXPECT_NEAR(pivot.y(), horizontalDistance(nav->eye(), pivot), 1e-2);
    EXPECT_NEAR(100.0, nav->eye().z(), 1e-3);
    EXPECT_GT(nav->eye().x(), 10.0) << "J swings the eye round the pivot counter-clockwise";

    // Below z = 0 nothing is met: the swing goes round the world origin.
    nav->goHome(osg::Vec3d(300.0, 0.0, -50.0), osg::Vec3d(300.0, 0.0, -50.0) + northDown(-30.0));
    nav->frames(1);
    EXPECT_NEAR(std::sqrt(300.0 * 300.0 + 50.0 * 50.0), nav->controller->getFusionDistanceValue(), 1e-3);
    nav->keyDown('l');
    nav->frames(40);
    EXPECT_NEAR(300.0, horizontalDistance(nav->eye(), osg::Vec3d()), 1e-2);
    EXPECT_GT(std::fabs(nav->eye().y()), 10.0);
}

TEST_F(TerrainFollowing, FusionDistanceIsTheEyePivotDistanceOrHundredWhenFree)
{
    startTerrainFollowing(osg::Vec3d(1003.7, 1604.1, 250.0), northDown(30.0));
    nav->keyDown('w');
    nav->keyDown('j');
    for (int i = 0; i < 40; ++i)
    {
        osg::Vec3d pivot;
        ASSERT_TRUE(terrainUnderView(pivot)) << "frame " << i;
        nav->frames(1);
        EXPECT_NEAR((pivot - nav->eye()).length(), nav->controller->getFusionDistanceValue(), 1e-2)
            << "frame " << i;
    }
    nav->press(osgGA::GUIEventAdapter::KEY_Tab);
    for (int i = 0; i < 3; ++i)
    {
        nav->frames(1);
        EXPECT_EQ(100.0f, nav->controller->getFusionDistanceValue());
    }
}

TEST_F(TerrainFollowing, TileWrittenByTin)
{
    TAVRI_REQUIRE_SHARED_DATA();
    const std::string tin = tavritest::buildDir() + "/Bin/tin";
    ASSERT_TRUE(tavritest::fileExists(tin)) << tin << " is missing: build the tin target first";
    tavritest::TempDir tiles;
    const tavritest::RunResult result =
        tavritest::run({tin, "--extents", "636200,849000,636700,849500", "--tileSize", "500", "--numThreads", "1",
                        tavritest::sharedData() + "/las/autzen_trim.las"},
                       tiles.path());
    ASSERT_EQ(0, result.exitCode) << result.err;
    const std::vector<std::string> written = tavritest::listDir(tiles.path());
    ASSERT_EQ(1u, written.size());
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setBuildKdTreesHint(osgDB::Options::BUILD_KDTREES);
    osg::ref_ptr<osg::Node> tile = osgDB::readRefNodeFile(tiles.file(written.front()), options.get());
    ASSERT_TRUE(tile.valid());
    useTerrain(tile.get());

    // Straight down at the middle of the tile: the pivot is the ground below.
    const osg::Vec3d eye(636453.7, 849254.1, 900.0);
    startTerrainFollowing(eye, osg::Vec3d(0.0, 0.0, -1.0));
    osg::Vec3d ground;
    ASSERT_TRUE(terrainUnderView(ground));
    EXPECT_GT(ground.z(), 400.0);
    EXPECT_NEAR(eye.z() - ground.z(), nav->controller->getFusionDistanceValue(), 0.05);

    // Tilt to about 30 degrees down with I, then follow the ground with W and L.
    nav->keyDown('i');
    nav->frames(30);
    nav->keyUp('i');
    nav->frames(80);
    const double height = nav->eye().z();
    nav->keyDown('w');
    nav->keyDown('l');
    for (int i = 0; i < 30; ++i)
    {
        osg::Vec3d pivot;
        ASSERT_TRUE(terrainUnderView(pivot)) << "frame " << i;
        nav->frames(1);
        EXPECT_NEAR((pivot - nav->eye()).length(), nav->controller->getFusionDistanceValue(), 0.1)
            << "frame " << i;
    }
    EXPECT_NEAR(height, nav->eye().z(), 1e-3);
}

TEST_F(TerrainFollowing, OverlayAndSkyBoxAreNotGround)
{
    // A full-window overlay panel, drawn by a camera of its own.
    osg::ref_ptr<osg::Camera> hud = new osg::Camera;
    hud->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    hud->setProjectionMatrix(osg::Matrixd::ortho2D(0.0, 1280.0, 0.0, 1024.0));
    hud->setViewMatrix(osg::Matrixd::identity());
    osg::ref_ptr<osg::Geode> panel = new osg::Geode;
    panel->addDrawable(osg::createTexturedQuadGeometry(osg::Vec3(), osg::Vec3(1280, 0, 0), osg::Vec3(0, 1024, 0)));
    hud->addChild(panel.get());
    // A sky sphere round the eye.
    osg::ref_ptr<osg::ClearNode> sky = new osg::ClearNode;
    osg::ref_ptr<osg::Geode> sphere = new osg::Geode;
    sphere->addDrawable(new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(), 3000.0f)));
    sky->addChild(sphere.get());

    for (osg::Node* extra : {static_cast<osg::Node*>(hud.get()), static_cast<osg::Node*>(sky.get())})
    {
        SCOPED_TRACE(extra->className());
        {
            osg::ref_ptr<osgUtil::LineSegmentIntersector> probe =
                new osgUtil::LineSegmentIntersector(osgUtil::Intersector::PROJECTION, 0.0, 0.0);
            osgUtil::IntersectionVisitor visitor(probe.get());
            nav->goHome(osg::Vec3d(0.0, 0.0, 100.0), osg::Vec3d(0.0, 10.0, 105.0));
            nav->camera->addChild(extra);
            nav->camera->accept(visitor);
            ASSERT_TRUE(probe->containsIntersections()) << "a plain intersection sees it";
        }
        startTerrainFollowing(osg::Vec3d(0.0, 0.0, 100.0), northDown(-30.0));
        EXPECT_NEAR(200.0, nav->controller->getFusionDistanceValue(), 1e-3);
        nav->camera->removeChild(extra);
        nav->press(osgGA::GUIEventAdapter::KEY_Tab);
    }
}

TEST_F(TerrainFollowing, TiltIsTheUnsignedAngleToTheHorizon)
{
    for (int heading = 0; heading < 360; heading += 7)
        for (int pitch = -89; pitch <= 89; pitch += 1)
        {
            const double h = osg::DegreesToRadians(double(heading));
            const double p = osg::DegreesToRadians(double(pitch));
            const osg::Vec3d eye(1234.5, -987.25, 42.0);
            const osg::Vec3d view(std::cos(p) * std::sin(h), std::cos(p) * std::cos(h), std::sin(p));
            const osg::Matrixd cameraToWorld =
                osg::Matrixd::inverse(osg::Matrixd::lookAt(eye, eye + view, osg::Vec3d(0.0, 0.0, 1.0)));
            const double tilt = osgTAVRI::TerrainFollowing::tilt(cameraToWorld);
            ASSERT_TRUE(std::isfinite(tilt)) << heading << " " << pitch;
            EXPECT_NEAR(std::fabs(p), tilt, 1e-6) << heading << " " << pitch;
        }
}
