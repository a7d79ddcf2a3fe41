#include "viewer/OverlayController.h"

namespace osgTAVRI
{

OverlayController::OverlayController(osg::Group* overlayGroup, osg::Camera* masterCamera)
    : overlay(overlayGroup), camera(masterCamera)
{
}

bool OverlayController::handle(const osgGA::GUIEventAdapter&, osgGA::GUIActionAdapter&) { return false; }

} // namespace osgTAVRI
