#include "viewer/navigation/TerrainFollowing.h"

#include "viewer/scene/SceneIntersectionVisitor.h"

#include <osg/Camera>
#include <osgUtil/LineSegmentIntersector>

#include <cmath>

namespace osgTAVRI
{

osg::Vec3f TerrainFollowing::findPivot(osg::Node* camera, const osg::Matrixd& matrix)
{
    osg::Vec3f pivot(0.0f, 0.0f, 0.0f);
    bool hit = false;
    if (camera)
    {
        osg::ref_ptr<osgUtil::LineSegmentIntersector> intersector =
            new osgUtil::LineSegmentIntersector(osgUtil::Intersector::PROJECTION, 0.0, 0.0);
        SceneIntersectionVisitor visitor(intersector.get());
        camera->accept(visitor);
        if (intersector->containsIntersections())
        {
            pivot = intersector->getFirstIntersection().getWorldIntersectPoint();
            hit = pivot != osg::Vec3f(0.5f, 0.5f, 0.0f);
        }
    }
    if (hit)
        return pivot;

    osg::Vec3d eye, center, up;
    osg::Matrixd::inverse(matrix).getLookAt(eye, center, up, 10.0);
    osg::Vec3f v = center - eye;
    v.normalize();
    // A view above the horizon is mirrored downwards.
    if (v.z() > 0.0f)
        v.z() = -v.z();
    if (v.z() != 0.0f)
    {
        const double t = -eye.z() / v.z();
        if (t > 0.0)
            pivot = eye + osg::Vec3d(v) * t;
    }
    return pivot;
}

double TerrainFollowing::tilt(const osg::Matrixd& matrix)
{
    // On the camera-to-world matrix getLookAt yields the world's downward
    // direction in the camera's frame.
    osg::Vec3d eye, center, up;
    matrix.getLookAt(eye, center, up, 1.0);
    osg::Vec3d n = center - eye;
    if (n.length() > 0.0)
        n.normalize();
    osg::Vec3d h(n.x(), n.y(), 0.0);
    if (h.length() > 0.0)
        h.normalize();
    // Rounding can push the cosine of a level view past 1, where acos has no value.
    return std::acos(osg::clampBetween(h * n, -1.0, 1.0));
}

float TerrainFollowing::step(osg::Matrixd& matrix, osg::Node* camera, const osg::Vec3f& moveStep,
                             const osg::Vec2f& turnStep)
{
    const osg::Vec3f pivot = findPivot(camera, matrix);
    const double a = tilt(matrix);
    const double r = turnStep.x();
    const bool pitchBlocked = (a - r > osg::PI_2) || (a - r < -osg::PI_2);

    // Move in a frame tilted by the view's tilt, so that forward is horizontal
    // and up is the world's vertical.
    matrix.preMultRotate(osg::Quat(-osg::PI_2, osg::X_AXIS));
    matrix.preMultRotate(osg::Quat(a, osg::X_AXIS));
    matrix.preMultTranslate(moveStep);
    matrix.preMultRotate(osg::Quat(-a, osg::X_AXIS));

    matrix.postMultTranslate(-pivot);
    matrix.postMultRotate(osg::Quat(turnStep.y(), osg::Z_AXIS));
    matrix.postMultTranslate(pivot);

    const osg::Vec3f eye = matrix.getTrans();
    const float d = (pivot - eye).length();

    // Pitch about the point at distance d along the view, then restore the camera frame.
    matrix.preMultTranslate(osg::Vec3f(0.0f, d, 0.0f));
    if (!pitchBlocked)
        matrix.preMultRotate(osg::Quat(r, osg::X_AXIS));
    matrix.preMultTranslate(osg::Vec3f(0.0f, -d, 0.0f));
    matrix.preMultRotate(osg::Quat(osg::PI_2, osg::X_AXIS));
    return d;
}

} // namespace osgTAVRI
