#include "tin/ScopedTimer.h"

#include <cmath>
#include <iomanip>
#include <sstream>

namespace osgTAVRI
{

ScopedTimer::ScopedTimer(const std::string& text, osg::NotifySeverity level)
    : label(text), start(osg::Timer::instance()->tick()), severity(level)
{
}

std::string ScopedTimer::formatElapsed(double t)
{
    double h = 0.0, m = 0.0;
    if (t / 3600.0 > 1.0)
    {
        h = std::floor(t / 3600.0);
        t -= h * 3600.0;
    }
    if (t / 60.0 > 1.0)
    {
        m = std::floor(t / 60.0);
        t -= m * 60.0;
    }
    std::ostringstream out;
    if (h >= 1.0)
        out << int(h) << " h, " << int(m) << " m, " << int(t) << " s";
    else if (m >= 1.0)
        out << int(m) << " m, " << int(t) << " s";
    else
        out << std::fixed << std::setprecision(2) << t << " s";
    return out.str();
}

ScopedTimer::~ScopedTimer()
{
    const osg::Timer* timer = osg::Timer::instance();
    const double t = double(timer->tick() - start) * timer->getSecondsPerTick();
    OSG_NOTIFY(severity) << label << ": " << formatElapsed(t) << std::endl;
}

} // namespace osgTAVRI
