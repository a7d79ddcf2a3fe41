#include "viewer/ViewerOptions.h"

#include "viewer/StatePaths.h"

#include <osg/ApplicationUsage>
#include <osg/ArgumentParser>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>

#include <iostream>

namespace osgTAVRI
{

namespace
{
void registerUsage(osg::ApplicationUsage& usage)
{
    usage.setApplicationName("TAVRIview");
    usage.setDescription("TAVRIview shows design models and laser-scanned terrain as an interactive 3D walk-through.");
    usage.setCommandLineUsage("TAVRIview [--demo | <configuration.xml>]\n"
                              "       TAVRIview --video <path.path> <out.mp4> [--size WxH] [--fps n] [--noOverlay]");
    usage.addCommandLineOption("--demo", "Open the demo scene that comes with the installation.");
    usage.addCommandLineOption("--video <path.path> <out.mp4>",
                               "Render a recorded flight to an H.264 video in MP4, off screen, and exit.");
    usage.addCommandLineOption("--size <W>x<H>", "The video's size, even numbers (default 1920x1080).");
    usage.addCommandLineOption("--fps <n>", "The video's frames per second (default 30).");
    usage.addCommandLineOption("--noOverlay", "Render the video without the overlay.");
}

void useFile(ViewerOptions& options, const std::string& path)
{
    options.configurationPath = path;
    options.modelFolder = osgDB::getFilePath(path);
}
} // namespace

bool parseViewerOptions(int& argc, char** argv, ViewerOptions& options, int& exitCode)
{
    osg::ArgumentParser arguments(&argc, argv);
    osg::ref_ptr<osg::ApplicationUsage> usage = new osg::ApplicationUsage;
    registerUsage(*usage);
    arguments.setApplicationUsage(usage.get());

    const osg::ApplicationUsage::Type help = arguments.readHelpType();
    if (help != osg::ApplicationUsage::NO_HELP)
    {
        usage->write(std::cout, help, 80, false);
        std::cout << "Without a file the viewer reads ../Resources/Configuration.xml from its Bin folder, or, when\n"
                     "the installation cannot be written, $XDG_CONFIG_HOME/tavriview/Configuration.xml, seeded\n"
                     "from the installation's. F3 writes the configuration that was read. Model paths in a\n"
                     "configuration named on the command line are relative to its folder."
                  << std::endl;
        exitCode = 0;
        return false;
    }

    if (arguments.read("--demo"))
        useFile(options, StatePaths::demoConfigurationPath());
    for (int i = 1; i < arguments.argc(); ++i)
    {
        if (arguments.isOption(i))
        {
            OSG_WARN << "TAVRIview: unknown option " << arguments[i] << " ignored" << std::endl;
        }
        else if (!options.configurationPath.empty())
        {
            OSG_WARN << "TAVRIview: one configuration at a time; " << arguments[i] << " ignored" << std::endl;
        }
        else
        {
            useFile(options, arguments[i]);
            if (!osgDB::fileExists(options.configurationPath))
                OSG_WARN << "TAVRIview: no configuration file " << options.configurationPath
                         << "; F3 writes it" << std::endl;
        }
    }
    if (options.configurationPath.empty())
        options.configurationPath = StatePaths::configurationPath();
    return true;
}

} // namespace osgTAVRI
