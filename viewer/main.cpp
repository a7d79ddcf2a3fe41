#include "viewer/ConsoleNotifyHandler.h"
#include "viewer/TAVRIview.h"
#include "viewer/platform/PluginPath.h"

int main(int argc, char** argv)
{
    osg::setNotifyHandler(new osgTAVRI::ConsoleNotifyHandler);
    osgTAVRI::addProgramFolderToPluginPath(argc > 0 ? argv[0] : nullptr);
    osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
    return view->run();
}
