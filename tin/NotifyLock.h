#pragma once

#include <OpenThreads/Mutex>

namespace osgTAVRI
{

// The worker threads share one notification stream; every line tin writes from a worker
// is written whole under this one mutex, which the driver also hands to its workers.
OpenThreads::Mutex& notifyMutex();

} // namespace osgTAVRI
