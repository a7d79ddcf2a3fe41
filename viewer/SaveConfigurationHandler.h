#pragma once

#include <osgGA/GUIEventHandler>

#include <functional>

namespace osgTAVRI
{

// F3: writes the configuration through the function it is given. The function is only
// called while the view has a window.
class SaveConfigurationHandler : public osgGA::GUIEventHandler
{
public:
    using Save = std::function<void()>;

    SaveConfigurationHandler() = default;
    explicit SaveConfigurationHandler(Save save);
    SaveConfigurationHandler(const SaveConfigurationHandler& other,
                             const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, SaveConfigurationHandler);

    using osgGA::GUIEventHandler::handle;
    // Saves on an F3 press when the view has a window; never consumes the event.
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

protected:
    ~SaveConfigurationHandler() override = default;

    Save save;
};

} // namespace osgTAVRI
