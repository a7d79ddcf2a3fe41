#include "viewer/navigation/NavigationController.h"

#include "viewer/navigation/TerrainFollowing.h"

#include <osg/Notify>
#include <osgViewer/View>

#include <algorithm>
#include <cmath>

namespace osgTAVRI
{

namespace
{

// Key slots of the pointer joystick: i, k, j, l.
const int slotI = 6;
const int slotK = 7;
const int slotJ = 8;
const int slotL = 9;

float clampUnit(float v)
{
    return v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : v);
}
} // namespace

NavigationController::NavigationController(osg::Node* cameraNode) : camera(cameraNode) {}

NavigationController::NavigationController(const NavigationController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::CameraManipulator(other, copyop),
      initialised(other.initialised), homeEye(other.homeEye), homeCenter(other.homeCenter), mode(other.mode),
      keyMap(other.keyMap), speed(other.speed), rotationSpeed(other.rotationSpeed), matrix(other.matrix),
      camera(other.camera), pressX(other.pressX), pressY(other.pressY), lastTime(other.lastTime),
      modeChanged(other.modeChanged), fusionDistance(other.fusionDistance)
{
    std::copy(other.keyState, other.keyState + 10, keyState);
    std::copy(other.axes, other.axes + 5, axes);
}

bool NavigationController::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa)
{
    if (!initialised)
        init();

    osgViewer::View* view = dynamic_cast<osgViewer::View*>(&aa);
    if (!view || !view->getViewerBase() || ea.getHandled())
        return false;

    switch (ea.getEventType())
    {
    case osgGA::GUIEventAdapter::KEYDOWN:
    {
        std::map<int, int>::const_iterator slot = keyMap.find(ea.getKey());
        if (slot != keyMap.end())
            keyState[slot->second] = 1.0f;
        const int key = ea.getKey();
        if (key == ' ')
            home();
        if (key == osgGA::GUIEventAdapter::KEY_Tab)
            toggleMode();
        if (key == osgGA::GUIEventAdapter::KEY_KP_Add || key == '+')
            increaseSpeed();
        if (key == osgGA::GUIEventAdapter::KEY_KP_Subtract || key == '-')
            decreaseSpeed();
        break;
    }
    case osgGA::GUIEventAdapter::KEYUP:
    {
        std::map<int, int>::const_iterator slot = keyMap.find(ea.getKey());
        if (slot != keyMap.end())
            keyState[slot->second] = 0.0f;
        break;
    }
    case osgGA::GUIEventAdapter::PUSH:
        if (ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON)
        {
            pressX = 2.0f * ea.getXnormalized();
            pressY = 2.0f * ea.getYnormalized();
        }
        break;
    case osgGA::GUIEventAdapter::RELEASE:
        if (ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON)
            keyState[slotI] = keyState[slotK] = keyState[slotJ] = keyState[slotL] = 0.0f;
        break;
    case osgGA::GUIEventAdapter::DRAG:
        if (ea.getButtonMask() & osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON)
            handleDrag(ea);
        break;
    case osgGA::GUIEventAdapter::FRAME:
        update(ea.getTime());
        break;
    case osgGA::GUIEventAdapter::SCROLL:
        if (ea.getScrollingMotion() == osgGA::GUIEventAdapter::SCROLL_UP)
            increaseSpeed();
        else
            decreaseSpeed();
        break;
    default:
        break;
    }
    return false;
}

// The drag is a joystick centred on the press point; only the slot on the
// cursor's side is written, so a drag that crosses the press point keeps the
// last value of the other side until release.
void NavigationController::handleDrag(const osgGA::GUIEventAdapter& ea)
{
    const float dy = clampUnit(pressY - 2.0f * ea.getYnormalized());
    if (dy > 0.0f)
        keyState[slotK] = dy;
    else
        keyState[slotI] = -dy;

    const float dx = clampUnit(pressX - 2.0f * ea.getXnormalized());
    if (dx > 0.0f)
        keyState[slotJ] = dx;
    else
        keyState[slotL] = -dx;
}

void NavigationController::setByMatrix(const osg::Matrixd& m) { matrix = m; }
void NavigationController::setByInverseMatrix(const osg::Matrixd& m) { matrix = osg::Matrixd::inverse(m); }
osg::Matrixd NavigationController::getMatrix() const { return matrix; }
osg::Matrixd NavigationController::getInverseMatrix() const { return osg::Matrixd::inverse(matrix); }
float NavigationController::getFusionDistanceValue() const { return fusionDistance; }

void NavigationController::setHome(const osg::Vec3d& eye, const osg::Vec3d& center)
{
    homeEye = eye;
    homeCenter = center;
}

// A look-at with the up vector along the view has no defined roll and gives a
// singular matrix; such home views look north instead (eye == centre) or keep
// north at the top of the screen (straight down or up).
void NavigationController::home()
{
    osg::Vec3d center = homeCenter;
    osg::Vec3d up = osg::Z_AXIS;
    osg::Vec3d forward = center - homeEye;
    if (forward.length2() == 0.0)
        center = homeEye + osg::Vec3d(0.0, 1.0, 0.0);
    else if ((forward / forward.length() ^ up).length() < 1e-9)
        up = osg::Vec3d(0.0, 1.0, 0.0);
    matrix = osg::Matrixd::inverse(osg::Matrixd::lookAt(homeEye, center, up));
}

void NavigationController::getCurrentLookAt(osg::Vec3d& eye, osg::Vec3d& center) const
{
    osg::Vec3d up;
    getInverseMatrix().getLookAt(eye, center, up, 10.0);
}

void NavigationController::toggleMode()
{
    if (mode == Mode::Free)
        mode = Mode::Following;
    else if (mode == Mode::Following)
        mode = Mode::Free;
    else
        return;
    modeChanged = true;
}

void NavigationController::increaseSpeed()
{
    speed *= 1.1;
    notifySpeed();
}

void NavigationController::decreaseSpeed()
{
    speed *= 0.9;
    notifySpeed();
}

void NavigationController::notifySpeed() const
{
    OSG_NOTICE << "Rörelsehastighet " << speed << " m/s" << std::endl;
}

void NavigationController::init()
{
    keyMap.clear();
    keyMap['d'] = 0;
    keyMap['a'] = 1;
    keyMap['w'] = 2;
    keyMap['s'] = 3;
    keyMap['q'] = 4;
    keyMap['z'] = 5;
    keyMap['i'] = slotI;
    keyMap['k'] = slotK;
    keyMap['j'] = slotJ;
    keyMap['l'] = slotL;
    home();
    // An empty scene has no valid bound; a speed of zero or less could never be
    // scaled back to a useful one, so the initial speed stays then.
    if (camera.valid() && camera->getBound().valid() && camera->getBound().radius() > 0.0f)
        speed = camera->getBound().radius() / 10.0;
    initialised = true;
}

bool NavigationController::isNavigationKey(int key) const
{
    return keyMap.count(key) > 0 || key == ' ' || key == osgGA::GUIEventAdapter::KEY_Tab;
}

void NavigationController::stopMotion()
{
    std::fill(keyState, keyState + 10, 0.0f);
    std::fill(axes, axes + 5, 0.0f);
}

void NavigationController::update(double time)
{
    const double dt = time - lastTime;
    lastTime = time;

    // Once per frame, not per second: the feel follows the frame rate on purpose.
    const float f = 0.9f;
    for (int n = 0; n < 5; ++n)
    {
        const float target = keyState[2 * n] - keyState[2 * n + 1];
        const float next = f * axes[n] + (1.0f - f) * target;
        axes[n] = std::fabs(next - target) < 0.001f ? target : next;
    }

    const float fdt = static_cast<float>(dt);
    const float s = static_cast<float>(speed);
    const float r = static_cast<float>(rotationSpeed);
    const osg::Vec3f moveStep = osg::Vec3f(axes[0], axes[1], axes[2]) * (fdt * s);
    const osg::Vec2f turnStep = osg::Vec2f(axes[3], axes[4]) * (fdt * r);

    if (modeChanged)
    {
        OSG_NOTICE << "Rörelsemodellen ändrades" << std::endl;
        modeChanged = false;
    }

    if (mode == Mode::Free)
        freeStep(moveStep, turnStep);
    else if (mode == Mode::Following)
        fusionDistance = TerrainFollowing::step(matrix, camera.get(), moveStep, turnStep);
}

void NavigationController::freeStep(const osg::Vec3f& moveStep, const osg::Vec2f& turnStep)
{
    const osg::Vec3f eye = matrix.getTrans();
    matrix.postMultTranslate(-eye);
    matrix.postMultRotate(osg::Quat(turnStep.y(), osg::Z_AXIS));
    matrix.postMultTranslate(eye);

    matrix.preMultRotate(osg::Quat(-osg::PI_2, osg::X_AXIS));
    matrix.preMultRotate(osg::Quat(turnStep.x(), osg::X_AXIS));
    matrix.preMultTranslate(moveStep);
    matrix.preMultRotate(osg::Quat(osg::PI_2, osg::X_AXIS));

    fusionDistance = 100.0f;
}

} // namespace osgTAVRI
