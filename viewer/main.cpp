#include "viewer/TAVRIview.h"
#include "viewer/platform/PluginPath.h"

#include <osgDB/FileNameUtils>

int main(int argc, char** argv)
{
    // The program runs from its Bin folder; its own location is not needed.
    const std::string programFolder = osgDB::getFilePath(argc > 0 ? argv[0] : "");
    (void)programFolder;
    osgTAVRI::addProgramFolderToPluginPath(argc > 0 ? argv[0] : nullptr);

    osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
    const int result = view->run();
    // The view holds the object as its own event handler; let go of that too so the window
    // and the toolkit's threads are closed before the process ends.
    view->detachFromView();
    view = nullptr;
    return result;
}
