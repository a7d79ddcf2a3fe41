#include "viewer/SaveConfigurationHandler.h"

#include "viewer/TAVRIview.h"

#include <osgViewer/GraphicsWindow>

namespace osgTAVRI
{

SaveConfigurationHandler::SaveConfigurationHandler(TAVRIview* view) : program(view) {}

SaveConfigurationHandler::SaveConfigurationHandler(const SaveConfigurationHandler& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      program(other.program)
{
}

bool SaveConfigurationHandler::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter&)
{
    if (ea.getEventType() != osgGA::GUIEventAdapter::KEYDOWN || ea.getKey() != osgGA::GUIEventAdapter::KEY_F3)
        return false;
    osg::ref_ptr<TAVRIview> view;
    if (!program.lock(view))
        return false;
    if (dynamic_cast<osgViewer::GraphicsWindow*>(view->getViewer().getCamera()->getGraphicsContext()))
        view->saveConfiguration();
    return false;
}

} // namespace osgTAVRI
