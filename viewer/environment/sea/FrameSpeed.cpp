#include "viewer/environment/sea/FrameSpeed.h"

#include <osg/FrameStamp>

namespace osgTAVRI
{

void FrameSpeed::judge(const osg::FrameStamp& stamp)
{
    const unsigned int frame = stamp.getFrameNumber();
    const double now = stamp.getReferenceTime();
    if (judgedSince < 0.0 || frame < judgedFrom || now < judgedSince)
    {
        judgedFrom = frame;
        judgedSince = now;
        return;
    }
    if (frame - judgedFrom < framesJudged)
        return;
    const double perFrame = (now - judgedSince) / double(frame - judgedFrom);
    if (perFrame > slowFrame)
        slow = true;
    else if (perFrame < 0.5 * slowFrame)
        slow = false;
    judgedFrom = frame;
    judgedSince = now;
}

} // namespace osgTAVRI
