#pragma once

#include "tin/TileJob.h"
#include "tin/TinOptions.h"

#include <string>
#include <vector>

namespace osgTAVRI
{

// Lays out the tile grid of the options' extent, row by row from yMin and column by
// column from xMin. Returns false with `error` set when the grid cannot be made: more
// tiles than fit in 32 bits, or corners beyond the range of tile names.
bool planTiles(const TinOptions& options, std::vector<TileJob>& tiles, std::string& error);

// Deals the tiles round robin: tile k to list k mod `threads`.
std::vector<std::vector<TileJob>> dealTiles(const std::vector<TileJob>& tiles, unsigned threads);

// The whole program: parse, plan, build the tiles on worker threads, report times.
int runTin(int argc, char** argv);

} // namespace osgTAVRI
