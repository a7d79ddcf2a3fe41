#pragma once

#include "viewer/overlay/OverlayResources.h"

#include <osg/Camera>
#include <osg/Geode>
#include <osg/Matrixd>
#include <osg/NodeCallback>
#include <osg/observer_ptr>

namespace osgTAVRI
{

// The compass: "Compass.png" on a square centred on the origin, its texture turned with
// the heading of the view so that the image's top always points north (world +Y).
namespace Compass
{
// A geode with the image on a square as wide as the image; the texture
// matrix on unit 0 is what turns it. Null with one warning line when the image is missing.
SizedNode<osg::Geode> makeCompassNode();

// The horizontal heading of the view, 0 looking north and pi/2 looking east; false
// when the view looks straight up or down and has none.
bool heading(const osg::Matrixd& viewMatrix, double& heading);
// Turns texture coordinates by -heading about the texture's centre, which turns the
// image counter-clockwise by the heading.
osg::Matrixd textureMatrix(double heading);
} // namespace Compass

// Turns the compass every update; a vertical view keeps the last turn.
class CompassUpdateCallback : public osg::NodeCallback
{
public:
    CompassUpdateCallback() = default;
    explicit CompassUpdateCallback(osg::Camera* camera);
    CompassUpdateCallback(const CompassUpdateCallback& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, CompassUpdateCallback)

    void operator()(osg::Node* node, osg::NodeVisitor* nv) override;

protected:
    ~CompassUpdateCallback() override = default;

    osg::observer_ptr<osg::Camera> camera;
};

} // namespace osgTAVRI
