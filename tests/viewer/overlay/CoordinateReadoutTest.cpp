#include "tests/viewer/overlay/OverlayFixture.h"

#include "viewer/overlay/CoordinateReadout.h"
#include "viewer/overlay/OverlayController.h"

#include <osg/ShapeDrawable>
#include <osgText/Text>
#include <osgUtil/UpdateVisitor>

namespace CoordinateReadout = osgTAVRI::CoordinateReadout;
using tavritest::ViewerHarness;

namespace
{
using Lines = CoordinateReadout::Lines;

Lines shown(osg::Geode* readout)
{
    Lines lines;
    for (unsigned int i = 0; i < 3; ++i)
        lines[i] = static_cast<osgText::Text*>(readout->getDrawable(i))->getText().createUTF8EncodedString();
    return lines;
}

// A readout geode built like the overlay's, on the toolkit's own font.
osg::ref_ptr<osg::Geode> bareReadout()
{
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    for (int i = 0; i < 3; ++i)
        geode->addDrawable(new osgText::Text);
    return geode;
}
} // namespace

TEST(CoordinateReadout, ShowsOneDecimalAndGeographicLabelsPutNorthFirst)
{
    EXPECT_EQ(CoordinateReadout::formatLines(osg::Vec3d(1234.56, 98.04, 25.0), false),
              (Lines{"X: 1234.6", "Y: 98.0", "Z: 25.0"}));
    EXPECT_EQ(CoordinateReadout::formatLines(osg::Vec3d(0.0, 0.0, -0.04), false)[2], "Z: -0.0");
    // Projected coordinates keep their decimal.
    EXPECT_EQ(CoordinateReadout::formatLines(osg::Vec3d(101000.26, 6401234.37, 0.0), true),
              (Lines{"N: 6401234.4", "E: 101000.3", "Z: 0.0"}));

    // The eye as the update callback shows it: N from Y and E from X, each with its offset.
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewMatrixAsLookAt(osg::Vec3d(1000, 2000, 30), osg::Vec3d(1000, 2001, 30), osg::Vec3d(0, 0, 1));
    osg::ref_ptr<osg::Geode> readout = bareReadout();
    osg::ref_ptr<osgTAVRI::CoordinateUpdateCallback> callback =
        new osgTAVRI::CoordinateUpdateCallback(camera.get(), true, osg::Vec3d(6500000, 150000, 0), nullptr);
    osgUtil::UpdateVisitor update;
    (*callback)(readout.get(), &update);
    EXPECT_EQ(shown(readout.get()), (Lines{"N: 152000.0", "E: 6501000.0", "Z: 30.0"}));
}

TEST(CoordinateReadout, RefreshesOnTheFirstUpdateAndEvery30th)
{
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setViewMatrixAsLookAt(osg::Vec3d(1, 2, 3), osg::Vec3d(1, 3, 3), osg::Vec3d(0, 0, 1));
    osg::ref_ptr<osg::Geode> readout = bareReadout();
    osg::ref_ptr<osgTAVRI::CoordinateUpdateCallback> callback =
        new osgTAVRI::CoordinateUpdateCallback(camera.get(), false, osg::Vec3f(), nullptr);
    osgUtil::UpdateVisitor update;
    (*callback)(readout.get(), &update);
    EXPECT_EQ(shown(readout.get())[0], "X: 1.0");

    camera->setViewMatrixAsLookAt(osg::Vec3d(7, 2, 3), osg::Vec3d(7, 3, 3), osg::Vec3d(0, 0, 1));
    for (int i = 1; i < 30; ++i)
        (*callback)(readout.get(), &update);
    EXPECT_EQ(shown(readout.get())[0], "X: 1.0");
    (*callback)(readout.get(), &update);
    EXPECT_EQ(shown(readout.get())[0], "X: 7.0");
}

// M held and a move without buttons shows the point under the cursor; empty sky, a drag and
// upper-case M leave the readout as it was.
TEST(CoordinateReadout, MWithAMovePicksTheSceneUnderTheCursor)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, 320, 240, "<Overlay offsetX=\"1000\" offsetZ=\"0.5\"/>");
    // A box ahead of the default home view (eye at the origin, looking north).
    osg::ref_ptr<osg::Geode> box = new osg::Geode;
    box->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(0.0f, 10.0f, 0.0f), 4.0f)));
    h.scene()->addChild(box.get());
    h.frame(2);
    osg::Geode* readout = tavritest::childGeode(h.overlayController()->getCoordinateTextTransform());
    ASSERT_NE(readout, nullptr);
    const Lines eye{"X: 1000.0", "Y: 0.0", "Z: 0.5"};
    ASSERT_EQ(shown(readout), eye);

    // Upper-case M does not pick.
    h.keyPress('M', osgGA::GUIEventAdapter::MODKEY_SHIFT);
    h.mouseMove(161, 121);
    h.frame();
    EXPECT_EQ(shown(readout), eye);
    h.keyRelease('M', osgGA::GUIEventAdapter::MODKEY_SHIFT);

    const Lines front{"X: 1000.0", "Y: 8.0", "Z: 0.5"};
    h.keyPress('m');
    h.mouseMove(160, 120);
    h.frame();
    EXPECT_TRUE(h.overlayController()->getPickMode());
    EXPECT_EQ(shown(readout), front);
    h.mouseMove(5, 5);
    h.frame(40);
    EXPECT_EQ(shown(readout), front) << "empty sky, and no refresh while M is held";
    h.keyRelease('m');
    h.frame(31);
    EXPECT_EQ(shown(readout), eye);

    h.keyPress('m');
    h.frame();
    h.mouseDrag(158, 118, 161, 121);
    h.frame();
    EXPECT_EQ(shown(readout), eye) << "a drag does not pick";
    h.keyRelease('m');
    h.frame();
    EXPECT_FALSE(h.overlayController()->getPickMode());
}
