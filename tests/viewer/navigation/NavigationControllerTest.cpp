#include "tests/viewer/navigation/NavigationDriver.h"

#include <gtest/gtest.h>

#include <osg/Group>

#include <cmath>

using navtest::NavigationDriver;

namespace
{

// A scene of bounding radius 100 m, so the controller starts at 10 m/s.
osg::Node* sceneOfRadius100()
{
    osg::Group* group = new osg::Group;
    group->setInitialBound(osg::BoundingSphere(osg::Vec3(0.0f, 0.0f, 0.0f), 100.0f));
    return group;
}

class NavigationController : public ::testing::Test
{
protected:
    NavigationController() : nav(sceneOfRadius100())
    {
        nav.goHome(osg::Vec3d(0.0, 0.0, 0.0), osg::Vec3d(0.0, 1.0, 0.0));
        nav.frameAt(0.0); // first event: init, speed from the bound
    }

    int countLines(const std::string& line) const
    {
        int n = 0;
        for (const std::string& l : nav.notices())
            n += (l == line) ? 1 : 0;
        return n;
    }

    NavigationDriver nav;
};

class NotAView : public osgGA::GUIActionAdapter
{
public:
    void requestRedraw() override {}
    void requestContinuousUpdate(bool) override {}
    void requestWarpPointer(float, float) override {}
};

void expectVecNear(const osg::Vec3d& expected, const osg::Vec3d& actual, double tolerance)
{
    EXPECT_NEAR(expected.x(), actual.x(), tolerance);
    EXPECT_NEAR(expected.y(), actual.y(), tolerance);
    EXPECT_NEAR(expected.z(), actual.z(), tolerance);
}

} // namespace

TEST_F(NavigationController, FirstEventInitialisesSpeedFromTheSceneBound)
{
    EXPECT_TRUE(nav.controller->isInitialised());
    EXPECT_NEAR(10.0, nav.controller->getSpeed(), 1e-9);
    EXPECT_EQ(osgTAVRI::NavigationController::Mode::Free, nav.controller->getMode());
}

TEST_F(NavigationController, EmptyOrPointSceneKeepsAUsableSpeed)
{
    osg::ref_ptr<osg::Group> point = new osg::Group;
    point->setInitialBound(osg::BoundingSphere(osg::Vec3(1.0f, 2.0f, 3.0f), 0.0f));
    for (osg::Node* scene : {static_cast<osg::Node*>(new osg::Group), static_cast<osg::Node*>(point.get())})
    {
        NavigationDriver driver(scene);
        driver.frameAt(0.0);
        EXPECT_EQ(10.0, driver.controller->getSpeed());
    }
}

TEST_F(NavigationController, HoldingWForOneSecondCoversAbout8Point5Metres)
{
    nav.keyDown('w');
    nav.frames(60);
    // 10/60 * sum(1 - 0.9^n, n = 1..60)
    EXPECT_NEAR(8.5027, nav.eye().y(), 1e-3);
    EXPECT_NEAR(0.0, nav.eye().x(), 1e-9);
    EXPECT_NEAR(0.0, nav.eye().z(), 1e-9);

    nav.frames(5);
    EXPECT_LT(nav.controller->getAxis(1), 1.0f) << "the gap is still above 0.001 after 65 frames";
    nav.frames(1);
    EXPECT_EQ(1.0f, nav.controller->getAxis(1)) << "the axis snaps to its target at frame 66";

    nav.keyUp('w');
    const double released = nav.eye().y();
    nav.frames(65);
    EXPECT_GT(nav.controller->getAxis(1), 0.0f);
    nav.frames(1);
    EXPECT_EQ(0.0f, nav.controller->getAxis(1));
    // 10/60 * sum(0.9^n, n = 1..65)
    EXPECT_NEAR(1.4984, nav.eye().y() - released, 1e-3);
    const double stopped = nav.eye().y();
    nav.frames(10);
    EXPECT_EQ(stopped, nav.eye().y());
}

TEST_F(NavigationController, SpeedStepsByTenPercentWithAConsoleLine)
{
    for (int i = 0; i < 5; ++i)
        nav.press('+');
    EXPECT_NEAR(16.1051, nav.controller->getSpeed(), 1e-9);
    ASSERT_FALSE(nav.notices().empty());
    EXPECT_EQ("Rörelsehastighet 16.1051 m/s", nav.notices().back());
    EXPECT_EQ(5, static_cast<int>(nav.notices().size()));

    nav.press('-');
    EXPECT_NEAR(16.1051 * 0.9, nav.controller->getSpeed(), 1e-9);
    nav.press(osgGA::GUIEventAdapter::KEY_KP_Add);
    EXPECT_NEAR(16.1051 * 0.9 * 1.1, nav.controller->getSpeed(), 1e-9);
    nav.press(osgGA::GUIEventAdapter::KEY_KP_Subtract);
    EXPECT_NEAR(16.1051 * 0.9 * 1.1 * 0.9, nav.controller->getSpeed(), 1e-9);

    const double before = nav.controller->getSpeed();
    nav.scroll(osgGA::GUIEventAdapter::SCROLL_UP);
    EXPECT_NEAR(before * 1.1, nav.controller->getSpeed(), 1e-9);
    nav.scroll(osgGA::GUIEventAdapter::SCROLL_DOWN);
    nav.scroll(osgGA::GUIEventAdapter::SCROLL_LEFT);
    EXPECT_NEAR(before * 1.1 * 0.9 * 0.9, nav.controller->getSpeed(), 1e-9);
    EXPECT_EQ(11, static_cast<int>(nav.notices().size()));
}

TEST_F(NavigationController, UpperCaseKeysAreNotBound)
{
    const osg::Matrixd start = nav.controller->getMatrix();
    nav.keyDown('W', osgGA::GUIEventAdapter::MODKEY_LEFT_SHIFT);
    nav.keyDown('J', osgGA::GUIEventAdapter::MODKEY_LEFT_SHIFT);
    nav.frames(30);
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_EQ(0.0f, nav.controller->getKeyState(slot)) << "slot " << slot;
    EXPECT_EQ(start, nav.controller->getMatrix());
}

TEST_F(NavigationController, EventsOutsideAViewOrAlreadyHandledAreIgnored)
{
    NotAView adapter;
    osg::ref_ptr<osgGA::GUIEventAdapter> ea = nav.event(osgGA::GUIEventAdapter::KEYDOWN);
    ea->setKey('w');
    nav.controller->handle(*ea, adapter);
    EXPECT_EQ(0.0f, nav.controller->getKeyState(2));

    ea->setHandled(true);
    nav.send(*ea);
    EXPECT_EQ(0.0f, nav.controller->getKeyState(2));

    ea->setHandled(false);
    nav.send(*ea);
    EXPECT_EQ(1.0f, nav.controller->getKeyState(2));
}

TEST_F(NavigationController, ReleasingTheLeftButtonStopsHeldTurnKeys)
{
    nav.keyDown('i');
    nav.keyDown('k');
    nav.keyDown('j');
    nav.keyDown('l');
    nav.keyDown('w');
    nav.keyDown('j'); // the second j keeps the slot at 1
    nav.mouse(osgGA::GUIEventAdapter::PUSH, 0.3f, 0.3f);
    nav.mouse(osgGA::GUIEventAdapter::RELEASE, 0.3f, 0.3f);
    for (int slot = 6; slot < 10; ++slot)
        EXPECT_EQ(0.0f, nav.controller->getKeyState(slot)) << "slot " << slot;
    EXPECT_EQ(1.0f, nav.controller->getKeyState(2)) << "movement keys stay held";

    nav.frames(10);
    const osg::Vec3d heading = nav.viewDirection();
    expectVecNear(osg::Vec3d(0.0, 1.0, 0.0), heading, 1e-12);

    // Pressing j again turns again, although it was never released.
    nav.keyDown('j');
    nav.frames(10);
    EXPECT_LT(nav.viewDirection().x(), -0.01);
}

TEST_F(NavigationController, DraggingActsAsAJoystickFromThePressPoint)
{
    nav.mouse(osgGA::GUIEventAdapter::PUSH, 0.0f, 0.0f);
    nav.mouse(osgGA::GUIEventAdapter::DRAG, 0.0f, 0.1f);
    EXPECT_FLOAT_EQ(0.2f, nav.controller->getKeyState(6));
    EXPECT_EQ(0.0f, nav.controller->getKeyState(7));
    // Crossing the press point leaves the last value above it.
    nav.mouse(osgGA::GUIEventAdapter::DRAG, 0.0f, -0.15f);
    EXPECT_FLOAT_EQ(0.2f, nav.controller->getKeyState(6));
    EXPECT_FLOAT_EQ(0.3f, nav.controller->getKeyState(7));
    // Deflection is clamped to full rate.
    nav.mouse(osgGA::GUIEventAdapter::DRAG, -0.9f, -0.9f);
    EXPECT_EQ(1.0f, nav.controller->getKeyState(7));
    EXPECT_EQ(1.0f, nav.controller->getKeyState(8));
    nav.mouse(osgGA::GUIEventAdapter::RELEASE, -0.9f, -0.9f);
    for (int slot = 6; slot < 10; ++slot)
        EXPECT_EQ(0.0f, nav.controller->getKeyState(slot));
}

TEST_F(NavigationController, DragDirectionsTurnTheViewTheDocumentedWay)
{
    struct Case
    {
        const char* name;
        float x, y;
        osg::Vec3d expected; // view direction after one second at full deflection
    };
    // One second of full deflection turns by pi/2 * (1/60) * sum(1 - 0.9^n, n = 1..60).
    const double angle = osg::PI_2 * 51.016173 / 60.0;
    const Case cases[] = {
        {"up", 0.0f, 0.5f, osg::Vec3d(0.0, std::cos(angle), std::sin(angle))},
        {"down", 0.0f, -0.5f, osg::Vec3d(0.0, std::cos(angle), -std::sin(angle))},
        {"left", -0.5f, 0.0f, osg::Vec3d(-std::sin(angle), std::cos(angle), 0.0)},
        {"right", 0.5f, 0.0f, osg::Vec3d(std::sin(angle), std::cos(angle), 0.0)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        nav.press(' ');
        nav.mouse(osgGA::GUIEventAdapter::PUSH, 0.0f, 0.0f);
        nav.mouse(osgGA::GUIEventAdapter::DRAG, c.x, c.y);
        nav.frames(60);
        expectVecNear(c.expected, nav.viewDirection(), 1e-3);
        EXPECT_NEAR(0.0, (nav.eye()).length(), 1e-9) << "turning does not move the eye";
        nav.mouse(osgGA::GUIEventAdapter::RELEASE, c.x, c.y);
        nav.frames(80);
    }
}

TEST_F(NavigationController, FreeStepMovesAlongTheCameraAxesWithoutRoll)
{
    nav.keyDown('d');
    nav.frames(66);
    EXPECT_GT(nav.eye().x(), 5.0);
    EXPECT_NEAR(0.0, nav.eye().y(), 1e-9);
    nav.keyUp('d');
    nav.keyDown('q');
    nav.frames(66);
    EXPECT_GT(nav.eye().z(), 5.0);
    nav.keyUp('q');
    nav.frames(80);

    // Tilt up and turn left at once, then fly forward: the motion follows the tilted view.
    nav.keyDown('i');
    nav.keyDown('j');
    nav.frames(20);
    nav.keyUp('i');
    nav.keyUp('j');
    nav.frames(80);
    const osg::Vec3d view = nav.viewDirection();
    EXPECT_GT(view.z(), 0.1);
    EXPECT_LT(view.x(), -0.1);
    const osg::Matrixd m = nav.controller->getMatrix();
    EXPECT_NEAR(0.0, m(0, 2), 1e-9) << "the camera's right axis stays horizontal";

    const osg::Vec3d start = nav.eye();
    nav.keyDown('w');
    nav.frames(30);
    osg::Vec3d moved = nav.eye() - start;
    moved.normalize();
    expectVecNear(view, moved, 1e-6);
}

TEST_F(NavigationController, SpaceReturnsHomeKeepingModeAndSpeed)
{
    const osg::Matrixd homeMatrix = nav.controller->getMatrix();
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round == 0 ? "free" : "terrain following");
        nav.press('+');
        nav.keyDown('w');
        nav.keyDown('j');
        nav.frames(30);
        nav.keyUp('w');
        nav.keyUp('j');
        ASSERT_GT((nav.eye()).length(), 1.0);
        const double speed = nav.controller->getSpeed();
        const osgTAVRI::NavigationController::Mode mode = nav.controller->getMode();
        nav.press(' ');
        EXPECT_EQ(homeMatrix, nav.controller->getMatrix());
        EXPECT_EQ(speed, nav.controller->getSpeed());
        EXPECT_EQ(mode, nav.controller->getMode());
        nav.frames(80);
        nav.press(osgGA::GUIEventAdapter::KEY_Tab);
        nav.press(' ');
    }
}

TEST_F(NavigationController, ModeChangeIsAnnouncedOnceAtTheNextFrame)
{
    const std::string notice = "Rörelsemodellen ändrades";
    nav.press(osgGA::GUIEventAdapter::KEY_Tab);
    EXPECT_EQ(osgTAVRI::NavigationController::Mode::Following, nav.controller->getMode());
    EXPECT_EQ(0, countLines(notice)) << "the notice waits for the frame";
    nav.frames(1);
    EXPECT_EQ(1, countLines(notice));

    nav.press(osgGA::GUIEventAdapter::KEY_Tab);
    nav.press(osgGA::GUIEventAdapter::KEY_Tab);
    EXPECT_EQ(osgTAVRI::NavigationController::Mode::Following, nav.controller->getMode());
    nav.frames(3);
    EXPECT_EQ(2, countLines(notice)) << "two toggles before a frame give one line";
}

TEST_F(NavigationController, HomeViewAndCurrentLookAt)
{
    nav.goHome(osg::Vec3d(10.0, 20.0, 30.0), osg::Vec3d(10.0, 1020.0, 30.0));
    osg::Vec3d eye, center;
    nav.controller->getCurrentLookAt(eye, center);
    expectVecNear(osg::Vec3d(10.0, 20.0, 30.0), eye, 1e-9);
    expectVecNear(osg::Vec3d(10.0, 30.0, 30.0), center, 1e-9);
    expectVecNear(osg::Vec3d(0.0, 0.0, 1.0), nav.upDirection(), 1e-12);

    // Views without a defined roll still give a usable camera.
    nav.goHome(osg::Vec3d(5.0, 6.0, 7.0), osg::Vec3d(5.0, 6.0, 7.0));
    nav.controller->getCurrentLookAt(eye, center);
    expectVecNear(osg::Vec3d(5.0, 16.0, 7.0), center, 1e-9);

    nav.goHome(osg::Vec3d(5.0, 6.0, 300.0), osg::Vec3d(5.0, 6.0, 0.0));
    nav.controller->getCurrentLookAt(eye, center);
    expectVecNear(osg::Vec3d(5.0, 6.0, 300.0), eye, 1e-9);
    expectVecNear(osg::Vec3d(5.0, 6.0, 290.0), center, 1e-9);
    expectVecNear(osg::Vec3d(0.0, 1.0, 0.0), nav.upDirection(), 1e-12);
}
