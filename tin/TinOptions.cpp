#include "tin/TinOptions.h"

#include <osg/ApplicationUsage>
#include <osg/ArgumentParser>
#include <osg/Notify>
#include <osgDB/FileUtils>

#include <cmath>
#include <cstdio>
#include <iostream>

namespace osgTAVRI
{

namespace
{
void registerUsage(osg::ArgumentParser& arguments)
{
    osg::ApplicationUsage* usage = arguments.getApplicationUsage();
    const std::string app = arguments.getApplicationName();
    usage->setApplicationName(app);
    usage->setDescription(app + " is a tool for creating a TIN from a point cloud.");
    usage->setCommandLineUsage(app + " --extents <xMin,yMin,xMax,yMax> --tileSize <s> [--numThreads <t>]"
                                     " [--thinNth <n>] [--noTrim] [--simplify maxError]"
                                     " [--namingCoordsSize | --namingTruncCoords | --namingRowCol] <files...>");
    // The options are deliberately not registered as usage entries: the parser treats
    // registered options as known and would no longer report a second naming option.
}

void readExtents(osg::ArgumentParser& arguments, osg::BoundingBoxd& extent)
{
    std::string value;
    while (arguments.read("--extents", value))
    {
        double x0, y0, x1, y1;
        if (std::sscanf(value.c_str(), "%lf,%lf,%lf,%lf", &x0, &y0, &x1, &y1) == 4 && x1 > x0 &&
            y1 > y0)
            extent.set(x0, y0, -10000.0, x1, y1, 10000.0);
        else
            osg::notify(osg::WARN) << arguments[0] << ": Invalid extents: \"" << value << "\""
                                   << std::endl;
    }
}
} // namespace

bool parseTinOptions(int& argc, char** argv, TinOptions& options, int& exitCode)
{
    osg::ArgumentParser arguments(&argc, argv);
    registerUsage(arguments);

    const osg::ApplicationUsage::Type help = arguments.readHelpType();
    if (help != osg::ApplicationUsage::NO_HELP || arguments.argc() <= 1)
    {
        arguments.getApplicationUsage()->write(
            std::cout, help != osg::ApplicationUsage::NO_HELP ? help : osg::ApplicationUsage::COMMAND_LINE_OPTION,
            80, false);
        std::cout << "Exit codes: 0 after a run, 1 for help or argument errors, 255 (-1) when no"
                     " input file was found.\nA thread count of 0 means 1; the tile size must be"
                     " greater than 0. Tiles are written to the working directory." << std::endl;
        exitCode = 1;
        return false;
    }

    readExtents(arguments, options.extent);
    arguments.read("--tileSize", options.tileSize);
    unsigned thin = options.thinNth;
    arguments.read("--thinNth", thin);
    options.thinNth = thin;
    arguments.read("--numThreads", options.numThreads);
    options.noTrim = arguments.read("--noTrim");
    arguments.read("--simplify", options.maxError);
    if (arguments.read("--namingCoordsSize"))
        options.naming = CoordsSize;
    else if (arguments.read("--namingTruncCoords"))
        options.naming = TruncCoords;
    else if (arguments.read("--namingRowCol"))
        options.naming = RowCol;

    for (int pos = 1; pos < arguments.argc(); ++pos)
    {
        if (arguments.isOption(pos))
            continue;
        const std::vector<std::string> matches = osgDB::expandWildcardsInFilename(arguments[pos]);
        options.files.insert(options.files.end(), matches.begin(), matches.end());
    }
    if (options.files.empty())
    {
        osg::notify(osg::FATAL) << "No input files specified" << std::endl;
        exitCode = -1;
        return false;
    }

    arguments.reportRemainingOptionsAsUnrecognized();
    if (arguments.errors())
    {
        arguments.writeErrorMessages(std::cout);
        exitCode = 1;
        return false;
    }

    // A size that is not positive would give empty or inverted tile boxes.
    if (!(options.tileSize > 0.0) || !std::isfinite(options.tileSize))
    {
        osg::notify(osg::WARN) << arguments[0] << ": Invalid tile size: " << options.tileSize
                               << ", it must be greater than 0" << std::endl;
        exitCode = 1;
        return false;
    }
    if (options.numThreads == 0)
        options.numThreads = 1;
    exitCode = 0;
    return true;
}

} // namespace osgTAVRI
