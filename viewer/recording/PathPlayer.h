#pragma once

#include "viewer/recording/PathInterpolator.h"

#include <osg/AnimationPath>
#include <osg/Matrixd>

#include <memory>

namespace osgTAVRI
{

// Plays a flight on the viewer's clock: the pose of each frame comes from the time that has
// passed since the start, not from the number of frames, so a slow frame skips ahead instead
// of slowing the flight down.
class PathPlayer
{
public:
    // The flight starts with the next step, whose frame shows its first pose.
    void start(const osg::AnimationPath& flight);
    void stop() { interpolator.reset(); }
    bool isPlaying() const { return interpolator != nullptr; }

    // The pose for the frame at `now` (camera to world). Past the end it is the flight's last
    // pose, and the playback stops: the result is then false, with the pose still set.
    bool step(double now, osg::Matrixd& pose);

private:
    std::unique_ptr<PathInterpolator> interpolator;
    double startTime = 0.0;
    bool startPending = false;
};

} // namespace osgTAVRI
