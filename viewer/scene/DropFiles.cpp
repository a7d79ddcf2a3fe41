#include "viewer/scene/DropFiles.h"

namespace osgTAVRI
{

namespace
{

// The toolkit's event has no field for paths, so they ride along as user data.
class DropFileList : public osg::Referenced
{
public:
    explicit DropFileList(const std::vector<std::string>& p) : paths(p) {}
    const std::vector<std::string> paths;

protected:
    ~DropFileList() override = default;
};

} // namespace

osg::ref_ptr<osgGA::GUIEventAdapter> createDropEvent(const std::vector<std::string>& paths)
{
    osg::ref_ptr<osgGA::GUIEventAdapter> ea = new osgGA::GUIEventAdapter;
    ea->setEventType(dropFilesEvent);
    ea->setUserData(new DropFileList(paths));
    return ea;
}

bool isDropEvent(const osgGA::GUIEventAdapter& ea)
{
    return ea.getEventType() == dropFilesEvent && dynamic_cast<const DropFileList*>(ea.getUserData()) != nullptr;
}

std::vector<std::string> getDropFiles(const osgGA::GUIEventAdapter& ea)
{
    if (!isDropEvent(ea))
        return {};
    return static_cast<const DropFileList*>(ea.getUserData())->paths;
}

} // namespace osgTAVRI
