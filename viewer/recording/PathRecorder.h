#pragma once

#include <osg/AnimationPath>
#include <osg/Matrixd>
#include <osg/ref_ptr>

namespace osgTAVRI
{

// Collects the camera's poses of a flight as it is flown, one per frame, with times counted
// from the start of the recording.
class PathRecorder
{
public:
    // Starts a new flight with the pose shown at `time` (camera to world).
    void start(double time, const osg::Matrixd& pose);
    // Adds the pose shown at `time`; a time that does not come after the last one is skipped,
    // so that the flight's times always increase.
    void sample(double time, const osg::Matrixd& pose);
    // Ends the recording and hands over the flight (null when none was running).
    osg::ref_ptr<osg::AnimationPath> stop();

    bool isRecording() const { return flight.valid(); }

private:
    osg::ref_ptr<osg::AnimationPath> flight;
    double startTime = 0.0;
    double lastTime = 0.0;
};

} // namespace osgTAVRI
