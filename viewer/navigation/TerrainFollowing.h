#pragma once

#include <osg/Matrixd>
#include <osg/Node>
#include <osg/Vec2f>
#include <osg/Vec3f>

namespace osgTAVRI
{

// The terrain-following step of the navigation controller: motion parallel to
// the ground and rotation about the ground point at the centre of the view.
class TerrainFollowing
{
public:
    // The ground point at the centre of the view: the nearest scene hit through
    // the camera, else the view ray (mirrored downwards) on the plane z = 0,
    // else the origin. `matrix` is camera to world.
    static osg::Vec3f findPivot(osg::Node* camera, const osg::Matrixd& matrix);

    // Unsigned angle between the view direction and the horizontal plane.
    static double tilt(const osg::Matrixd& matrix);

    // One frame: moves and turns `matrix` (camera to world) and returns the
    // distance from the new eye to the pivot, the stereo fusion distance.
    static float step(osg::Matrixd& matrix, osg::Node* camera, const osg::Vec3f& moveStep,
                      const osg::Vec2f& turnStep);
};

} // namespace osgTAVRI
