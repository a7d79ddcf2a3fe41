#include "common/ConsoleNotifyHandler.h"
#include "viewer/TAVRIview.h"
#include "viewer/ViewerOptions.h"
#include "viewer/VideoRenderer.h"
#include "viewer/platform/PluginPath.h"
#include "viewer/platform/WindowFactory.h"

int main(int argc, char** argv)
{
    osgTAVRI::prepareWindowSystem();
    osgTAVRI::installConsole();
    osgTAVRI::addProgramFolderToPluginPath(argc > 0 ? argv[0] : nullptr);
    if (osgTAVRI::VideoRenderer::requested(argc, argv))
        return osgTAVRI::VideoRenderer::main(argc, argv);
    osgTAVRI::ViewerOptions options;
    int exitCode = 0;
    if (!osgTAVRI::parseViewerOptions(argc, argv, options, exitCode))
        return exitCode;
    osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
    view->setConfiguration(options.configurationPath, options.modelFolder);
    return view->run();
}
