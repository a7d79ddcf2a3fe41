#include "viewer/recording/PathInterpolator.h"

#include <algorithm>

namespace osgTAVRI
{

PathInterpolator::PathInterpolator(const osg::AnimationPath& flight)
{
    const osg::AnimationPath::TimeControlPointMap& points = flight.getTimeControlPointMap();
    times.reserve(points.size());
    positions.reserve(points.size());
    rotations.reserve(points.size());
    for (const auto& point : points)
    {
        times.push_back(point.first);
        positions.push_back(point.second.getPosition());
        osg::Quat rotation = point.second.getRotation();
        // q and -q are the same orientation; keeping neighbours on one side makes the arc short.
        if (!rotations.empty() && rotations.back().asVec4() * rotation.asVec4() < 0.0)
            rotation = -rotation;
        rotations.push_back(rotation);
    }
}

// Velocity at pose i: the slope across its two neighbours, one-sided at the ends.
osg::Vec3d PathInterpolator::tangent(std::size_t i) const
{
    const std::size_t before = i > 0 ? i - 1 : i;
    const std::size_t after = i + 1 < times.size() ? i + 1 : i;
    const double span = times[after] - times[before];
    return span > 0.0 ? (positions[after] - positions[before]) / span : osg::Vec3d();
}

void PathInterpolator::poseAt(double time, osg::Vec3d& position, osg::Quat& rotation) const
{
    if (times.empty())
    {
        position.set(0.0, 0.0, 0.0);
        rotation = osg::Quat();
        return;
    }
    if (!(time > times.front()))
    {
        position = positions.front();
        rotation = rotations.front();
        return;
    }
    if (time >= times.back())
    {
        position = positions.back();
        rotation = rotations.back();
        return;
    }
    const std::size_t i = static_cast<std::size_t>(std::upper_bound(times.begin(), times.end(), time) - times.begin()) - 1;
    const double h = times[i + 1] - times[i];
    const double s = (time - times[i]) / h;
    const double s2 = s * s, s3 = s2 * s;
    // Cubic Hermite basis.
    const double h00 = 2.0 * s3 - 3.0 * s2 + 1.0;
    const double h10 = s3 - 2.0 * s2 + s;
    const double h01 = -2.0 * s3 + 3.0 * s2;
    const double h11 = s3 - s2;
    position = positions[i] * h00 + tangent(i) * (h10 * h) + positions[i + 1] * h01 + tangent(i + 1) * (h11 * h);
    rotation.slerp(s, rotations[i], rotations[i + 1]);
}

osg::Matrixd PathInterpolator::poseAt(double time) const
{
    osg::Vec3d position;
    osg::Quat rotation;
    poseAt(time, position, rotation);
    return osg::Matrixd::rotate(rotation) * osg::Matrixd::translate(position);
}

} // namespace osgTAVRI
