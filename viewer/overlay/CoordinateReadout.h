#pragma once

#include <osg/Camera>
#include <osg/Geode>
#include <osg/NodeCallback>
#include <osg/Vec3d>
#include <osg/Vec3f>
#include <osg/observer_ptr>
#include <osgViewer/View>

#include <array>
#include <string>

namespace osgTAVRI
{

class OverlayController;

// The coordinate readout: three lines, X (or N), Y (or E) and Z, one decimal each, with the
// configured offset added. Normally the eye position; while M is held, the scene point
// under the cursor.
namespace CoordinateReadout
{
using Lines = std::array<std::string, 3>;

// A geode of three texts, Z at the bottom and 22.5 pixels between baselines. Null with
// one warning line when the font is missing.
osg::ref_ptr<osg::Geode> makeCoordinateNode();

// Geographic labels put the northing (Y) first and the easting (X) second.
Lines formatLines(const osg::Vec3d& position, bool useGeoCoords);
void setLines(osg::Geode& readout, const Lines& lines);

// The world position of the nearest scene geometry under the window position (origin
// at the lower left). False over empty sky, the overlay or the sky box.
bool pickPoint(osgViewer::View* view, float x, float y, osg::Vec3d& point);
} // namespace CoordinateReadout

// Shows the eye position on the first update and on every 30th after it, so that laying
// out text costs little; skips the refresh while the overlay shows picked points.
class CoordinateUpdateCallback : public osg::NodeCallback
{
public:
    CoordinateUpdateCallback() = default;
    CoordinateUpdateCallback(osg::Camera* camera, bool useGeoCoords, const osg::Vec3d& offset,
                             OverlayController* overlay);
    CoordinateUpdateCallback(const CoordinateUpdateCallback& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, CoordinateUpdateCallback)

    void operator()(osg::Node* node, osg::NodeVisitor* nv) override;

protected:
    ~CoordinateUpdateCallback() override = default;

    int frameCounter = 0;
    osg::observer_ptr<osg::Camera> camera;
    bool useGeoCoords = false;
    osg::Vec3d offset;
    osg::observer_ptr<OverlayController> overlay;
};

} // namespace osgTAVRI
