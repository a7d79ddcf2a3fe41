#pragma once

#include <osg/Notify>
#include <osg/Timer>

#include <string>

namespace OpenThreads
{
class Mutex;
}

namespace osgTAVRI
{

// Writes "<label>: <elapsed>" at its severity when it goes out of scope. Workers share
// one notification stream, so the line is written whole under the given mutex.
class ScopedTimer
{
public:
    ScopedTimer(const std::string& label, osg::NotifySeverity severity = osg::NOTICE,
                OpenThreads::Mutex* mutex = nullptr);
    ~ScopedTimer();
    ScopedTimer(const ScopedTimer&) = delete;
    ScopedTimer& operator=(const ScopedTimer&) = delete;

    // "12.34 s", "2 m, 5 s" or "1 h, 0 m, 3 s": hours and minutes count only once
    // t exceeds a whole hour or minute, so 60 s stays "60.00 s".
    static std::string formatElapsed(double seconds);

private:
    std::string label;
    osg::Timer_t start;
    osg::NotifySeverity severity;
    OpenThreads::Mutex* mutex;
};

} // namespace osgTAVRI
