#pragma once

#include <osg/Math>
#include <osg/Matrixd>
#include <osg/Node>
#include <osgGA/CameraManipulator>

#include <map>

namespace osgTAVRI
{

// The camera manipulator: smoothed key and mouse motion, free flight and terrain following.
class NavigationController : public osgGA::CameraManipulator
{
public:
    enum class Mode
    {
        Following = 1, // on the ground, through TerrainFollowing
        Free = 2
    };

    NavigationController() = default;
    explicit NavigationController(osg::Node* camera);
    NavigationController(const NavigationController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, NavigationController);

    using osgGA::CameraManipulator::handle;
    using osgGA::CameraManipulator::init;

    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;
    void setByMatrix(const osg::Matrixd& m) override;
    void setByInverseMatrix(const osg::Matrixd& m) override;
    osg::Matrixd getMatrix() const override;
    osg::Matrixd getInverseMatrix() const override;
    float getFusionDistanceValue() const override;

    void setHome(const osg::Vec3d& eye, const osg::Vec3d& center);
    // The toolkit's home operations keep their (empty) behaviour; this one is ours.
    using osgGA::CameraManipulator::home;
    void home();
    void getCurrentLookAt(osg::Vec3d& eye, osg::Vec3d& center) const;

    void toggleMode();
    void increaseSpeed();
    void decreaseSpeed();
    void init();
    void update(double time);
    // Keys that move the camera: the bound motion keys, space (home) and Tab.
    bool isNavigationKey(int key) const;
    // Lets go of every key and stops the coasting, so that the camera stands still.
    void stopMotion();

    Mode getMode() const { return mode; }
    double getSpeed() const { return speed; }
    bool isInitialised() const { return initialised; }
    float getKeyState(int slot) const { return keyState[slot]; }
    float getAxis(int axis) const { return axes[axis]; }

protected:
    ~NavigationController() override = default;

    void handleDrag(const osgGA::GUIEventAdapter& ea);
    void freeStep(const osg::Vec3f& moveStep, const osg::Vec2f& turnStep);
    void notifySpeed() const;

    bool initialised = false;
    osg::Vec3d homeEye;
    osg::Vec3d homeCenter;
    Mode mode = Mode::Free;
    float keyState[10] = {};
    std::map<int, int> keyMap;
    float axes[5] = {};
    double speed = 10.0;
    double rotationSpeed = osg::PI_2;
    osg::Matrixd matrix;
    osg::ref_ptr<osg::Node> camera;
    float pressX = 0.0f;
    float pressY = 0.0f;
    double lastTime = 0.0;
    bool modeChanged = false;
    float fusionDistance = 100.0f;
};

} // namespace osgTAVRI
