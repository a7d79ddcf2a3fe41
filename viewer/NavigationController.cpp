#include "viewer/NavigationController.h"

namespace osgTAVRI
{

// Minimal stand-in: the full controller (keys, mouse, free and terrain-following steps) replaces it.
NavigationController::NavigationController(osg::Node* cameraNode) : camera(cameraNode) {}

bool NavigationController::handle(const osgGA::GUIEventAdapter&, osgGA::GUIActionAdapter&) { return false; }
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

void NavigationController::home()
{
    matrix = osg::Matrixd::inverse(osg::Matrixd::lookAt(homeEye, homeCenter, osg::Vec3d(0.0, 0.0, 1.0)));
}

void NavigationController::getCurrentLookAt(osg::Vec3d& eye, osg::Vec3d& center) const
{
    osg::Vec3d up;
    getInverseMatrix().getLookAt(eye, center, up, 10.0);
}

void NavigationController::toggleMode() {}
void NavigationController::increaseSpeed() {}
void NavigationController::decreaseSpeed() {}
void NavigationController::init() { initialised = true; }
void NavigationController::update(double) {}

} // namespace osgTAVRI
