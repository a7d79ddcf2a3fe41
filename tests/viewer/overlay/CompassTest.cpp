#include "tests/viewer/overlay/OverlayFixture.h"

#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/Compass.h"
#include "viewer/overlay/OverlayController.h"

#include <osg/TexMat>
#include <osgDB/WriteFile>

#include <cmath>

using tavritest::ViewerHarness;

namespace
{
// Where the image's north mark (the middle of its top edge) shows on the compass square,
// in the square's texture coordinates.
osg::Vec2d northMarkOnScreen(osg::Geode* compass)
{
    const osg::TexMat* texMat =
        dynamic_cast<const osg::TexMat*>(compass->getStateSet()->getTextureAttribute(0, osg::StateAttribute::TEXMAT));
    EXPECT_NE(texMat, nullptr);
    const osg::Vec3d screen = osg::Vec3d(0.5, 1.0, 0.0) * osg::Matrixd::inverse(texMat->getMatrix());
    return osg::Vec2d(screen.x(), screen.y());
}

void look(ViewerHarness& h, const osg::Vec3d& direction)
{
    const osg::Vec3d eye(100.0, 200.0, 50.0);
    h.navigationController()->setHome(eye, eye + direction);
    h.navigationController()->home();
    h.frame();
}

void expectNear(const osg::Vec2d& actual, const osg::Vec2d& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6);
}
} // namespace

// Looking north the image stands upright; looking east it is turned a quarter counter-
// clockwise (north to the left); straight down it keeps its last turn.
TEST(Compass, TurnsWithTheHeadingOfTheView)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, 320, 240);
    osg::Geode* compass = tavritest::childGeode(h.overlayController()->getCompassTransform());
    ASSERT_NE(compass, nullptr);

    look(h, osg::Vec3d(0.0, 1.0, -0.3));
    expectNear(northMarkOnScreen(compass), osg::Vec2d(0.5, 1.0));
    look(h, osg::Vec3d(1.0, 0.0, 0.2));
    expectNear(northMarkOnScreen(compass), osg::Vec2d(0.0, 0.5));
    look(h, osg::Vec3d(0.0, 0.0, -1.0));
    expectNear(northMarkOnScreen(compass), osg::Vec2d(0.0, 0.5));
    look(h, osg::Vec3d(-1.0, -1.0, 0.0));
    expectNear(northMarkOnScreen(compass), osg::Vec2d(0.5 + 0.5 * std::sqrt(0.5), 0.5 - 0.5 * std::sqrt(0.5)));
}

TEST(Compass, TheSquareIsAsWideAsTheImage)
{
    ViewerHarness h;
    tavritest::installOverlayResources(h);
    // An image of 100 x 80 is drawn stretched onto a square of 100.
    osg::ref_ptr<osg::Image> wide = new osg::Image;
    wide->allocateImage(100, 80, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    ASSERT_TRUE(osgDB::writeImageFile(*wide, h.resourcesDir() + "/Images/Compass.png"));
    h.writeConfiguration(tavritest::windowConfiguration(320, 240));
    h.setup();
    h.frame();
    EXPECT_EQ(h.overlayController()->getCompassSize(), 100);
    const osg::BoundingBox box =
        tavritest::childGeode(h.overlayController()->getCompassTransform())->getDrawable(0)->getBoundingBox();
    EXPECT_EQ(box.xMin(), -50.0f);
    EXPECT_EQ(box.xMax(), 50.0f);
    EXPECT_EQ(box.yMin(), -50.0f);
    EXPECT_EQ(box.yMax(), 50.0f);
    EXPECT_EQ(tavritest::origin(h.overlayController()->getCompassTransform()), osg::Vec2i(58, 240 - 58));
}
