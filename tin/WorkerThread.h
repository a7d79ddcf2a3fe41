#pragma once

#include "tin/tiling/TinBuilder.h"

#include <OpenThreads/Thread>

#include <atomic>
#include <cstdint>

namespace osgTAVRI
{

class TileGrid;
class TileImagery;
class TilePointStore;
class TileQueue;

// What the workers of a run share: the tiles still to build, their points, how to build
// them, and the count of each outcome.
struct TileBuild
{
    const TileGrid* grid = nullptr;
    TileQueue* queue = nullptr;
    TilePointStore* store = nullptr;
    TinSettings mesh;
    TileImagery* imagery = nullptr; // textures and colours; null when neither is asked for

    std::atomic<unsigned> done{0};
    std::atomic<unsigned> written{0};
    std::atomic<unsigned> withoutPoints{0}; // fewer than 3 points: nothing to triangulate
    std::atomic<unsigned> failed{0};
};

// Takes tiles from the run's queue until none is left, and builds and writes each.
class WorkerThread : public OpenThreads::Thread
{
public:
    explicit WorkerThread(TileBuild& build);

    void run() override;

private:
    void buildTile(std::uint64_t tile);

    TileBuild& build;
};

} // namespace osgTAVRI
