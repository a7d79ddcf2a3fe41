#pragma once

#include "tin/TileNaming.h"

#include <osg/BoundingBox>

#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

// The parsed command line of tin.
struct TinOptions
{
    osg::BoundingBoxd extent; // empty until a valid --extents
    double tileSize = 1000.0;
    unsigned numThreads = 1;
    std::uint32_t thinNth = 1;
    bool noTrim = false;
    double maxError = double(FLT_MAX);
    TileNaming naming = CoordsSize;
    std::vector<std::string> files;
};

// Parses the command line. Returns true when tin should run; otherwise `exitCode` is
// 1 (help, no argument, parser errors, unusable tile size) or -1 (no input file).
bool parseTinOptions(int& argc, char** argv, TinOptions& options, int& exitCode);

} // namespace osgTAVRI
