#pragma once

#include "tin/tiling/PointSelection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

class LasHeader;
class PointColours;
class TileGrid;
class TilePointStore;
class TileQueue;

// Reads the input files once for a whole run. First every header: a file that cannot be
// opened or read is reported once, and a file whose extent meets none of the run's tiles
// (with their 5 % margin) is not opened again. Then one pass over the points of the other
// files, in list order, sends each selected point to every tile of the run whose read box
// holds it. A tile thus gets the points that reading it alone would give, in the same order.
class PointDistributor
{
public:
    PointDistributor(const TileGrid& grid, const TileQueue& tiles, const PointSelection& selection,
                     TilePointStore& store);

    // Threads that decode a compressed file's chunks while its points are distributed.
    void setThreads(unsigned count) { threads = count; }
    // With --colour rgb the points' colours go to `colours`, in the same order as the points.
    void setColours(PointColours* pointColours) { colours = pointColours; }

    void readHeaders(const std::vector<std::string>& files);
    void readPoints();

    struct Counts
    {
        std::uint64_t files = 0;
        std::uint64_t unreadable = 0;
        std::uint64_t touching = 0;   // files that meet a tile of the run
        std::uint64_t read = 0;       // point records in those files
        std::uint64_t selected = 0;   // records that passed the filters
        std::uint64_t placed = 0;     // of those, points that went to at least one tile
    };
    const Counts& getCounts() const { return counts; }

private:
    // A file that meets the run's tiles, and the rows and columns whose read boxes its
    // header's extent meets: only those tiles take its points.
    struct Input
    {
        std::string path;
        unsigned firstColumn, lastColumn, firstRow, lastRow;
    };

    bool touchesRun(const Input& input) const;
    // A tile that will take every point of a file gets room for them before the first one.
    void expectPoints(const LasHeader& header, const Input& input);
    void distribute(const Input& input);

    const TileGrid& grid;
    const TileQueue& tiles;
    PointSelection selection;
    TilePointStore& store;
    PointColours* colours = nullptr;
    std::vector<Input> inputs;
    Counts counts;
    unsigned threads = 1;
};

} // namespace osgTAVRI
