#include "tests/support/TestSupport.h"

#include "viewer/recording/PathInterpolator.h"
#include "viewer/recording/PathPlayer.h"

#include <cmath>
#include <functional>

using osgTAVRI::PathInterpolator;
using osgTAVRI::PathPlayer;

namespace
{
// A flight recorded at an uneven frame rate: times jitter between 15 and 60 frames a second.
osg::ref_ptr<osg::AnimationPath> unevenFlight(const std::function<osg::Vec3d(double)>& position)
{
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    double t = 0.0;
    for (int i = 0; i < 40; ++i)
    {
        flight->insert(t, osg::AnimationPath::ControlPoint(position(t), osg::Quat(0.2 * t, osg::Z_AXIS)));
        t += (i % 3 == 0) ? 1.0 / 15.0 : 1.0 / 60.0;
    }
    return flight;
}
} // namespace

// The curve meets every recorded pose, moves in a straight line at constant speed where the
// recording did, and its velocity has no jumps at the recorded poses.
TEST(PathInterpolator, MeetsEveryPoseAndMovesWithoutJolts)
{
    const auto line = [](double t) { return osg::Vec3d(100000.0 + 40.0 * t, 6400000.0 - 10.0 * t, 300.0); };
    osg::ref_ptr<osg::AnimationPath> straight = unevenFlight(line);
    const PathInterpolator poses(*straight);
    for (const auto& point : straight->getTimeControlPointMap())
    {
        osg::Vec3d position;
        osg::Quat rotation;
        poses.poseAt(point.first, position, rotation);
        EXPECT_EQ(position, point.second.getPosition());
        EXPECT_NEAR((rotation.asVec4() - point.second.getRotation().asVec4()).length(), 0.0, 1e-12);
    }
    for (double t = 0.0; t < poses.getEndTime(); t += 0.0123)
        EXPECT_NEAR((poses.poseAt(t).getTrans() - line(t)).length(), 0.0, 1e-6) << t;

    const auto curve = [](double t) { return osg::Vec3d(50.0 * std::sin(t), 30.0 * t * t, 5.0 * t); };
    osg::ref_ptr<osg::AnimationPath> curved = unevenFlight(curve);
    const PathInterpolator bends(*curved);
    const double h = 1e-6;
    for (const auto& point : curved->getTimeControlPointMap())
    {
        const double t = point.first;
        if (t <= bends.getStartTime() || t >= bends.getEndTime())
            continue;
        const osg::Vec3d before = (bends.poseAt(t).getTrans() - bends.poseAt(t - h).getTrans()) / h;
        const osg::Vec3d after = (bends.poseAt(t + h).getTrans() - bends.poseAt(t).getTrans()) / h;
        EXPECT_LT((before - after).length(), 1e-3 * (1.0 + before.length())) << "velocity jumps at " << t;
    }
}

// Orientations that flip sign between poses (q and -q are the same) still turn the short way.
TEST(PathInterpolator, TurnsTheShortWay)
{
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    flight->insert(0.0, osg::AnimationPath::ControlPoint(osg::Vec3d(), osg::Quat(0.1, osg::Z_AXIS)));
    osg::Quat flipped(0.3, osg::Z_AXIS);
    flipped = -flipped;
    flight->insert(1.0, osg::AnimationPath::ControlPoint(osg::Vec3d(), flipped));
    osg::Vec3d position;
    osg::Quat middle;
    PathInterpolator(*flight).poseAt(0.5, position, middle);
    double angle = 0.0;
    osg::Vec3d axis;
    middle.getRotate(angle, axis);
    EXPECT_NEAR(std::fabs(angle * axis.z()), 0.2, 1e-9);
}

// Playback runs on the clock, however many frames come: at 7 or 60 frames a second the same
// moment shows the same pose, and past the end the last pose is held and playback stops.
TEST(PathInterpolator, PlaybackFollowsTheClockAndEndsOnTheLastPose)
{
    osg::ref_ptr<osg::AnimationPath> flight =
        unevenFlight([](double t) { return osg::Vec3d(10.0 * t, std::cos(t), 2.0); });
    const PathInterpolator poses(*flight);
    for (double fps : {7.0, 60.0})
    {
        PathPlayer player;
        player.start(*flight);
        const double start = 1000.0; // the viewer's clock when playback starts
        osg::Matrixd pose;
        ASSERT_TRUE(player.step(start, pose));
        EXPECT_EQ(pose.getTrans(), flight->getTimeControlPointMap().begin()->second.getPosition());
        int frames = 1;
        while (player.step(start + frames / fps, pose))
        {
            EXPECT_NEAR((pose.getTrans() - poses.poseAt(frames / fps).getTrans()).length(), 0.0, 1e-9);
            ++frames;
        }
        EXPECT_FALSE(player.isPlaying());
        EXPECT_NEAR(frames, poses.getEndTime() * fps, 1.0);
        EXPECT_EQ(pose.getTrans(), flight->getTimeControlPointMap().rbegin()->second.getPosition());
    }
}
