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
#include <sstream>

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

// "K/N" with two whole numbers; their range is checked with the other values.
bool parseShard(const std::string& value, unsigned& index, unsigned& count)
{
    unsigned k = 0, n = 0;
    int used = 0;
    if (std::sscanf(value.c_str(), "%u/%u%n", &k, &n, &used) != 2 || used != int(value.size()) || value[0] == '-')
        return false;
    index = k;
    count = n;
    return true;
}

// As a stream writes it: "-100", "0.5", "nan".
std::string formatNumber(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
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

void writeHelp(osg::ArgumentParser& arguments, osg::ApplicationUsage::Type help)
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
}

// Reads every option into `options`. A value whose text does not read as its option's kind
// adds a line to `problems`; the values' ranges are left to TinOptions::validate.
void readValues(osg::ArgumentParser& arguments, TinOptions& options, std::vector<std::string>& problems)
{
    readExtents(arguments, options.extent);
    arguments.read("--tileSize", options.tileSize);
    unsigned thin = options.selection.thinNth;
    arguments.read("--thinNth", thin);
    options.selection.thinNth = thin;
    arguments.read("--numThreads", options.numThreads);
    if (options.numThreads == 0)
        options.numThreads = 1;
    options.mesh.noTrim = arguments.read("--noTrim");
    arguments.read("--simplify", options.mesh.maxError);
    if (arguments.read("--namingCoordsSize"))
        options.naming = CoordsSize;
    else if (arguments.read("--namingTruncCoords"))
        options.naming = TruncCoords;
    else if (arguments.read("--namingRowCol"))
        options.naming = RowCol;

    std::string text;
    if (arguments.read("--keepClasses", text) && !parseClasses(text, options.selection.keepClasses))
        problems.push_back("Invalid --keepClasses: \"" + text +
                           "\", give class numbers from 0 to 255 separated by commas");
    if (arguments.read("--shard", text) && !parseShard(text, options.shardIndex, options.shardCount))
        problems.push_back("Invalid --shard: \"" + text + "\", give K/N with 1 <= K <= N");
    unsigned budgetMB = unsigned(options.memoryBudget >> 20);
    arguments.read("--memoryBudget", budgetMB);
    options.memoryBudget = std::uint64_t(budgetMB) << 20;
    if (arguments.read("--colour", text))
    {
        options.imagery.colourRgb = text == "rgb";
        if (!options.imagery.colourRgb)
            problems.push_back("Invalid --colour: \"" + text + "\", the only choice is rgb");
    }
    arguments.read("--texture", options.imagery.texture);
    // 0 stands for the raster's own resolution, so a given value is checked here.
    double resolution = 0.0;
    if (arguments.read("--textureResolution", resolution))
    {
        if (resolution > 0.0 && std::isfinite(resolution))
            options.imagery.textureResolution = resolution;
        else
            problems.push_back("Invalid --textureResolution: " + formatNumber(resolution) +
                               ", give metres per texel greater than 0");
    }
    arguments.read("--pagedDatabase", options.pagedDatabase);
    options.indexOnly = arguments.read("--indexOnly");
}

void readFiles(osg::ArgumentParser& arguments, std::vector<std::string>& files)
{
    for (int pos = 1; pos < arguments.argc(); ++pos)
    {
        if (arguments.isOption(pos))
            continue;
        const std::string name = arguments[pos];
        const std::vector<std::string> matches = osgDB::expandWildcardsInFilename(name);
        files.insert(files.end(), matches.begin(), matches.end());
        // A file named without wildcards stays, so that a missing one is reported, not forgotten.
        if (matches.empty() && name.find_first_of("*?[") == std::string::npos)
            files.push_back(name);
    }
}
} // namespace

std::vector<std::string> TinOptions::validate() const
{
    std::vector<std::string> problems;
    // A size that is not positive would give empty or inverted tile boxes.
    if (!(tileSize > 0.0) || !std::isfinite(tileSize))
        problems.push_back("Invalid tile size: " + formatNumber(tileSize) + ", it must be greater than 0");
    if (shardIndex < 1 || shardIndex > shardCount)
        problems.push_back("Invalid --shard: \"" + std::to_string(shardIndex) + "/" + std::to_string(shardCount) +
                           "\", give K/N with 1 <= K <= N");
    if (memoryBudget < (std::uint64_t(1) << 20))
        problems.push_back("Invalid --memoryBudget: " + std::to_string(memoryBudget >> 20) + ", give at least 1 MB");
    // The root goes beside the tiles, so that the names inside the database stay relative.
    if (pagedDatabase.empty())
    {
        if (indexOnly)
            problems.push_back("--indexOnly needs --pagedDatabase <file.ive>");
    }
    else if (osgDB::getLowerCaseFileExtension(pagedDatabase) != "ive" ||
             osgDB::getSimpleFileName(pagedDatabase) != pagedDatabase)
        problems.push_back("--pagedDatabase \"" + pagedDatabase +
                           "\": give a file name ending in .ive, without a folder (it is written beside the tiles)");
    else if (shardCount > 1 && !indexOnly)
        problems.push_back("--pagedDatabase needs every tile: run the shards without it, then tin --pagedDatabase " +
                           pagedDatabase + " --indexOnly");
    return problems;
}

TinCommandLine parseTinOptions(int& argc, char** argv)
{
    osg::ArgumentParser arguments(&argc, argv);
    registerUsage(arguments);
    TinCommandLine result;

    if (arguments.read("--version"))
    {
        std::cout << "tin " << programVersion << std::endl;
        return result;
    }
    const osg::ApplicationUsage::Type help = arguments.readHelpType();
    if (help != osg::ApplicationUsage::NO_HELP || arguments.argc() <= 1)
    {
        writeHelp(arguments, help);
        result.exitCode = 1;
        return result;
    }

    TinOptions& options = result.options;
    std::vector<std::string> problems;
    readValues(arguments, options, problems);
    readFiles(arguments, options.files);
    if (std::none_of(options.files.begin(), options.files.end(), osgDB::fileExists) && !options.indexOnly)
    {
        OSG_FATAL << "No input files specified" << std::endl;
        result.exitCode = -1;
        return result;
    }

    // Every problem of the command line at once: the parser's on standard output as the
    // toolkit writes them, the values' one line each.
    arguments.reportRemainingOptionsAsUnrecognized();
    arguments.writeErrorMessages(std::cout);
    const std::vector<std::string> invalid = options.validate();
    problems.insert(problems.end(), invalid.begin(), invalid.end());
    for (const std::string& problem : problems)
        OSG_WARN << arguments[0] << ": " << problem << std::endl;
    result.run = !arguments.errors() && problems.empty();
    result.exitCode = result.run ? 0 : 1;
    return result;
}

} // namespace osgTAVRI
