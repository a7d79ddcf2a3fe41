#pragma once

#include <osg/AnimationPath>
#include <osg/Matrixd>
#include <osg/Quat>
#include <osg/Vec3d>

#include <vector>

namespace osgTAVRI
{

// The camera's pose at any time of a recorded flight. Positions follow a cubic Hermite curve
// whose tangents come from the neighbouring poses (Catmull-Rom on uneven time steps), so the
// speed changes without jolts where the toolkit's straight lines between poses would kink;
// orientations turn along the great arc between neighbouring poses. Every recorded pose is
// met exactly, and times before the start or after the end hold the first or last pose.
class PathInterpolator
{
public:
    explicit PathInterpolator(const osg::AnimationPath& flight);

    double getStartTime() const { return times.empty() ? 0.0 : times.front(); }
    double getEndTime() const { return times.empty() ? 0.0 : times.back(); }
    bool empty() const { return times.empty(); }

    // Camera-to-world matrix at `time` (the inverse of the view matrix).
    osg::Matrixd poseAt(double time) const;
    void poseAt(double time, osg::Vec3d& position, osg::Quat& rotation) const;

private:
    osg::Vec3d tangent(std::size_t i) const;

    std::vector<double> times;
    std::vector<osg::Vec3d> positions;
    std::vector<osg::Quat> rotations;
};

} // namespace osgTAVRI
