#include "tin/NotifyLock.h"

namespace osgTAVRI
{

OpenThreads::Mutex& notifyMutex()
{
    static OpenThreads::Mutex mutex;
    return mutex;
}

} // namespace osgTAVRI
