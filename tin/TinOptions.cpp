#include "tin/TinOptions.h"

#include "common/Version.h"
#include "tin/tiling/ReadSpan.h"

#include <osg/ApplicationUsage>
#include <osg/ArgumentParser>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
                                     " [--namingCoordsSize | --namingTruncCoords | --namingRowCol]"
                                     " [--keepClasses <c,c...>] [--memoryBudget <MB>] [--shard <k/n>]"
                                     " [--texture <raster>] [--textureResolution <m>] [--colour rgb]"
                                     " [--pagedDatabase <file.ive> [--indexOnly]] [--version] <files...>");
    // The options are deliberately not registered as usage entries: the parser treats
    // registered options as known and would no longer report a second naming option.
}

// "2,9": class numbers 0 to 255, separated by commas.
bool parseClasses(const std::string& value, std::vector<std::uint8_t>& classes)
{
    classes.clear();
    std::size_t start = 0;
    while (start <= value.size())
    {
        const std::size_t end = std::min(value.find(',', start), value.size());
        const std::string part = value.substr(start, end - start);
        char* rest = nullptr;
        const long number = std::strtol(part.c_str(), &rest, 10);
        if (part.empty() || *rest != '\0' || number < 0 || number > 255)
            return false;
        classes.push_back(std::uint8_t(number));
        start = end + 1;
    }
    return !classes.empty();
}

// "K/N" with 1 <= K <= N.
bool parseShard(const std::string& value, unsigned& index, unsigned& count)
{
    int used = 0;
    return std::sscanf(value.c_str(), "%u/%u%n", &index, &count, &used) == 2 &&
           used == int(value.size()) && value[0] != '-' && index >= 1 && index <= count;
}

// The root goes beside the tiles, so that the names inside the database stay relative.
bool checkPagedDatabase(const std::string& program, const TinOptions& options)
{
    std::string problem;
    if (options.indexOnly && options.pagedDatabase.empty())
        problem = "--indexOnly needs --pagedDatabase <file.ive>";
    else if (options.pagedDatabase.empty())
        return true;
    else if (osgDB::getLowerCaseFileExtension(options.pagedDatabase) != "ive" ||
             osgDB::getSimpleFileName(options.pagedDatabase) != options.pagedDatabase)
        problem = "--pagedDatabase \"" + options.pagedDatabase +
                  "\": give a file name ending in .ive, without a folder (it is written beside the tiles)";
    else if (options.shardCount > 1 && !options.indexOnly)
        problem = "--pagedDatabase needs every tile: run the shards without it, then tin --pagedDatabase " +
                  options.pagedDatabase + " --indexOnly";
    if (problem.empty())
        return true;
    OSG_WARN << program << ": " << problem << std::endl;
    return false;
}

void readExtents(osg::ArgumentParser& arguments, osg::BoundingBoxd& extent)
{
    std::string value;
    while (arguments.read("--extents", value))
    {
        double x0, y0, x1, y1;
        if (std::sscanf(value.c_str(), "%lf,%lf,%lf,%lf", &x0, &y0, &x1, &y1) == 4 && x1 > x0 &&
            y1 > y0)
            extent.set(x0, y0, -tileHeightBound, x1, y1, tileHeightBound);
        else
            OSG_WARN << arguments[0] << ": Invalid extents: \"" << value << "\""
                     << std::endl;
    }
}
} // namespace

bool parseTinOptions(int& argc, char** argv, TinOptions& options, int& exitCode)
{
    osg::ArgumentParser arguments(&argc, argv);
    registerUsage(arguments);

    if (arguments.read("--version"))
    {
        std::cout << "tin " << programVersion << std::endl;
        exitCode = 0;
        return false;
    }

    const osg::ApplicationUsage::Type help = arguments.readHelpType();
    if (help != osg::ApplicationUsage::NO_HELP || arguments.argc() <= 1)
    {
        arguments.getApplicationUsage()->write(
            std::cout, help != osg::ApplicationUsage::NO_HELP ? help : osg::ApplicationUsage::COMMAND_LINE_OPTION,
            80, false);
        std::cout << "Exit codes: 0 after a run, 1 for help or argument errors, 255 (-1) when no"
                     " input file was found.\nA thread count of 0 means 1; the tile size must be"
                     " greater than 0. Tiles are written to the working directory.\n"
                     "--keepClasses 2,9 builds from the points of those LAS classes, of every return,"
                     " instead of the first returns.\n--memoryBudget: points waiting for their tiles"
                     " beyond this many MB (default 8192) go to a hidden temporary file.\n"
                     "--shard K/N builds only the tiles whose index i (row by row from the south-west,"
                     " from 0) has i mod N = K - 1.\n--texture drapes a raster that GDAL reads (GeoTIFF,"
                     " JPEG with world file, JPEG 2000, VRT) over the tiles, at --textureResolution"
                     " metres per texel (default: the raster's own).\n--colour rgb colours the"
                     " vertices with the points' own RGB (point formats 2, 3, 5, 7, 8, 10).\n"
                     "--pagedDatabase terrain.ive also writes a paged"
                     " level-of-detail database over the tiles: the root terrain.ive and its levels in"
                     " terrain_levels/, beside the tiles;\n  with --indexOnly from the tiles already there,"
                     " without input files (after the shards of a run)." << std::endl;
        exitCode = 1;
        return false;
    }

    readExtents(arguments, options.extent);
    arguments.read("--tileSize", options.tileSize);
    unsigned thin = options.selection.thinNth;
    arguments.read("--thinNth", thin);
    options.selection.thinNth = thin;
    arguments.read("--numThreads", options.numThreads);
    options.noTrim = arguments.read("--noTrim");
    arguments.read("--simplify", options.maxError);
    if (arguments.read("--namingCoordsSize"))
        options.naming = CoordsSize;
    else if (arguments.read("--namingTruncCoords"))
        options.naming = TruncCoords;
    else if (arguments.read("--namingRowCol"))
        options.naming = RowCol;
    std::string classes, shard;
    const bool hasClasses = arguments.read("--keepClasses", classes);
    const bool hasShard = arguments.read("--shard", shard);
    unsigned budgetMB = unsigned(options.memoryBudget >> 20);
    arguments.read("--memoryBudget", budgetMB);
    std::string colour;
    const bool hasColour = arguments.read("--colour", colour);
    arguments.read("--texture", options.imagery.texture);
    const bool hasResolution = arguments.read("--textureResolution", options.imagery.textureResolution);
    arguments.read("--pagedDatabase", options.pagedDatabase);
    options.indexOnly = arguments.read("--indexOnly");

    for (int pos = 1; pos < arguments.argc(); ++pos)
    {
        if (arguments.isOption(pos))
            continue;
        const std::vector<std::string> matches = osgDB::expandWildcardsInFilename(arguments[pos]);
        options.files.insert(options.files.end(), matches.begin(), matches.end());
    }
    if (options.files.empty() && !options.indexOnly)
    {
        OSG_FATAL << "No input files specified" << std::endl;
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
        OSG_WARN << arguments[0] << ": Invalid tile size: " << options.tileSize
                 << ", it must be greater than 0" << std::endl;
        exitCode = 1;
        return false;
    }
    if (hasClasses && !parseClasses(classes, options.selection.keepClasses))
    {
        OSG_WARN << arguments[0] << ": Invalid --keepClasses: \"" << classes
                 << "\", give class numbers from 0 to 255 separated by commas" << std::endl;
        exitCode = 1;
        return false;
    }
    if (hasShard && !parseShard(shard, options.shardIndex, options.shardCount))
    {
        OSG_WARN << arguments[0] << ": Invalid --shard: \"" << shard
                 << "\", give K/N with 1 <= K <= N" << std::endl;
        exitCode = 1;
        return false;
    }
    if (budgetMB == 0)
    {
        OSG_WARN << arguments[0] << ": Invalid --memoryBudget: 0, give at least 1 MB" << std::endl;
        exitCode = 1;
        return false;
    }
    if (hasColour && colour != "rgb")
    {
        OSG_WARN << arguments[0] << ": Invalid --colour: \"" << colour << "\", the only choice is rgb" << std::endl;
        exitCode = 1;
        return false;
    }
    options.imagery.colourRgb = hasColour;
    const double resolution = options.imagery.textureResolution;
    if (hasResolution && !(resolution > 0.0 && std::isfinite(resolution)))
    {
        OSG_WARN << arguments[0] << ": Invalid --textureResolution: " << resolution
                 << ", give metres per texel greater than 0" << std::endl;
        exitCode = 1;
        return false;
    }
    if (!checkPagedDatabase(arguments[0], options))
    {
        exitCode = 1;
        return false;
    }
    options.memoryBudget = std::uint64_t(budgetMB) << 20;
    if (options.numThreads == 0)
        options.numThreads = 1;
    exitCode = 0;
    return true;
}

} // namespace osgTAVRI
