#include "viewer/SaveConfigurationHandler.h"

#include <osgViewer/GraphicsWindow>
#include <osgViewer/View>

namespace osgTAVRI
{

SaveConfigurationHandler::SaveConfigurationHandler(Save saveFunction) : save(std::move(saveFunction)) {}

SaveConfigurationHandler::SaveConfigurationHandler(const SaveConfigurationHandler& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      save(other.save)
{
}

bool SaveConfigurationHandler::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa)
{
    if (ea.getEventType() != osgGA::GUIEventAdapter::KEYDOWN || ea.getKey() != osgGA::GUIEventAdapter::KEY_F3)
        return false;
    const osgViewer::View* view = dynamic_cast<osgViewer::View*>(aa.asView());
    if (save && view && dynamic_cast<const osgViewer::GraphicsWindow*>(view->getCamera()->getGraphicsContext()))
        save();
    return false;
}

} // namespace osgTAVRI
