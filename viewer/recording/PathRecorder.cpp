#include "viewer/recording/PathRecorder.h"

namespace osgTAVRI
{

namespace
{
osg::AnimationPath::ControlPoint controlPoint(const osg::Matrixd& pose)
{
    return osg::AnimationPath::ControlPoint(pose.getTrans(), pose.getRotate());
}
} // namespace

void PathRecorder::start(double time, const osg::Matrixd& pose)
{
    flight = new osg::AnimationPath;
    flight->setLoopMode(osg::AnimationPath::NO_LOOPING);
    startTime = lastTime = time;
    flight->insert(0.0, controlPoint(pose));
}

void PathRecorder::sample(double time, const osg::Matrixd& pose)
{
    if (!flight.valid() || !(time > lastTime))
        return;
    lastTime = time;
    flight->insert(time - startTime, controlPoint(pose));
}

osg::ref_ptr<osg::AnimationPath> PathRecorder::stop()
{
    osg::ref_ptr<osg::AnimationPath> finished = flight;
    flight = nullptr;
    return finished;
}

} // namespace osgTAVRI
