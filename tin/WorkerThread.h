#pragma once

#include "tin/TileJob.h"

#include <OpenThreads/Mutex>
#include <OpenThreads/Thread>

#include <atomic>
#include <vector>

namespace osgTAVRI
{

// Builds and writes the tiles dealt to it, one after the other. Workers share only the
// mutex that keeps their time lines whole and a counter of finished tiles.
class WorkerThread : public OpenThreads::Thread
{
public:
    WorkerThread(unsigned index, OpenThreads::Mutex* mutex, std::atomic<unsigned>* tilesDone);
    ~WorkerThread() override;

    void run() override;

    std::vector<TileJob> jobs;

private:
    void buildTile(const TileJob& job);

    unsigned index;
    OpenThreads::Mutex* mutex;
    std::atomic<unsigned>* tilesDone;
};

} // namespace osgTAVRI
