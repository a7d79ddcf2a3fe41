#pragma once

#include <osg/Notify>
#include <osg/Timer>

#include <string>

namespace osgTAVRI
{

// Writes "<label>: <elapsed>" at its severity when it goes out of scope.
class ScopedTimer
{
public:
    explicit ScopedTimer(const std::string& label, osg::NotifySeverity severity = osg::NOTICE);
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
};

} // namespace osgTAVRI
