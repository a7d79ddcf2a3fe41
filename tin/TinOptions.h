#pragma once

#include "tin/tiling/PointSelection.h"
#include "tin/tiling/TileNaming.h"
#include "tin/tiling/TinBuilder.h"
#include "tin/imagery/TileImagery.h"

#include <osg/BoundingBox>

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
    PointSelection selection; // --thinNth, --keepClasses
    TinSettings mesh; // --noTrim, --simplify
    TileNaming naming = CoordsSize;
    // Points waiting for their tiles are kept in memory up to this many bytes, the rest in a
    // temporary file. 8 GiB leaves a 24 GB machine room for the tiles being built.
    std::uint64_t memoryBudget = std::uint64_t(8192) << 20;
    // --shard K/N: this run builds the tiles whose index i has i mod N = K - 1.
    unsigned shardIndex = 1;
    unsigned shardCount = 1;
    ImageryOptions imagery; // --texture, --textureResolution, --colour
    // --pagedDatabase FILE.ive: also write a paged level-of-detail database over the tiles;
    // with --indexOnly, from tiles already written (by the shards of a run, say), reading no input.
    std::string pagedDatabase;
    bool indexOnly = false;
    std::vector<std::string> files;

    // Every problem of the values, one line each, as the command line names them; empty when
    // they make a run.
    std::vector<std::string> validate() const;
};

// What the command line asks for: a run with these options, or the exit code to leave with.
struct TinCommandLine
{
    TinOptions options;
    bool run = false;
    // 0 (--version), 1 (help, no argument, every problem of the arguments listed) or -1 (no
    // input file).
    int exitCode = 0;
};

// Parses the command line and reports what stops a run, each problem on its own line.
TinCommandLine parseTinOptions(int& argc, char** argv);

} // namespace osgTAVRI
