#pragma once

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
};

// Writes a LAS file with the given points; returns the file's path.
std::string writeLas(const std::string& path, const std::vector<SynthPoint>& points,
                     const osgTAVRI::LasWriter::Settings& settings = osgTAVRI::LasWriter::Settings());

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

} // namespace tintest
