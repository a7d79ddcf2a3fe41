#include "viewer/recording/PathPlayer.h"

namespace osgTAVRI
{

void PathPlayer::start(const osg::AnimationPath& flight)
{
    interpolator.reset(new PathInterpolator(flight));
    startPending = true;
}

bool PathPlayer::step(double now, osg::Matrixd& pose)
{
    if (!interpolator)
        return false;
    if (startPending)
    {
        startTime = now;
        startPending = false;
    }
    const double time = interpolator->getStartTime() + (now - startTime);
    pose = interpolator->poseAt(time);
    if (time < interpolator->getEndTime())
        return true;
    stop();
    return false;
}

} // namespace osgTAVRI
