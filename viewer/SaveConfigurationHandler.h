#pragma once

#include <osg/observer_ptr>
#include <osgGA/GUIEventHandler>

namespace osgTAVRI
{

class TAVRIview;

// F3: has the program write its configuration. The program owns the viewer that holds this
// handler, so the handler refers back to it weakly and does nothing once it is gone.
class SaveConfigurationHandler : public osgGA::GUIEventHandler
{
public:
    SaveConfigurationHandler() = default;
    explicit SaveConfigurationHandler(TAVRIview* program);
    SaveConfigurationHandler(const SaveConfigurationHandler& other,
                             const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SaveConfigurationHandler);

    using osgGA::GUIEventHandler::handle;
    // Saves on an F3 press when the view has a window; never consumes the event.
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

protected:
    ~SaveConfigurationHandler() override = default;

    osg::observer_ptr<TAVRIview> program;
};

} // namespace osgTAVRI
