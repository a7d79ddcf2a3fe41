#pragma once

#include "tests/support/TestSupport.h"
#include "tin/TinOptions.h"
#include "tin/las/LasWriter.h"

#include <map>
#include <string>
#include <vector>

namespace tintest
{

struct SynthPoint
{
    double x, y, z;
    unsigned ret = 1;
    unsigned returns = 1;
    unsigned classification = 2;
};

// Writes a LAS file with the given points; returns the file's path.
std::string writeLas(const std::string& path, const std::vector<SynthPoint>& points,
                     const osgTAVRI::LasWriter::Settings& settings = osgTAVRI::LasWriter::Settings());

// Rolling terrain over 0..2000 x 0..1000 every 10 m, with a second return under each
// fifth point; returns the path.
std::string writeRollingTerrain(const std::string& path);

// Figures of one file in the shared reference.json.
struct LasReference
{
    std::string file;
    bool compressed = false;
    long long pointsInFile = 0;
    long long claimedPoints = 0; // the header's count (64-bit one where present)
    long long firstReturns = 0;
    long long sumRaw[3] = {0, 0, 0};
    double scale[3] = {0, 0, 0};
    double offset[3] = {0, 0, 0};
};
std::vector<LasReference> loadLasReference(const std::string& jsonPath);

// <build>/Bin/tin
std::string tinProgram();

// Runs <build>/Bin/tin with the arguments in `cwd`.
tavritest::RunResult runTin(const std::vector<std::string>& args, const std::string& cwd = "");

// The *.ive files of a folder, sorted, and each one's bytes.
std::vector<std::string> tileFiles(const std::string& dir);
std::map<std::string, std::string> tileContents(const std::string& dir);

// Writes into `dir` the tiles of the options' grid as reading each tile by itself gives
// them (readTilePoints per tile, first returns, thinned as the options say).
void writeTilesOneByOne(const osgTAVRI::TinOptions& options, const std::string& dir);

} // namespace tintest
