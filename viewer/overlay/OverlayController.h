#pragma once

#include <osg/Camera>
#include <osg/Group>
#include <osg/MatrixTransform>
#include <osg/Vec3d>
#include <osg/Vec3f>
#include <osgGA/GUIEventHandler>
#include <osgViewer/View>

namespace osgTAVRI
{

// The heads-up overlay: a camera that draws over the finished 3D view in window pixels,
// with a help page (F1), a logo matched to the background, a legend, a coordinate readout
// (M shows the point under the cursor) and a compass. Built on the first event, laid out
// again on every resize; it never consumes an event.
class OverlayController : public osgGA::GUIEventHandler
{
public:
    OverlayController() = default;
    OverlayController(osg::Group* parent, osg::Camera* camera);
    OverlayController(const OverlayController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, OverlayController)

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // Builds the overlay for the view's first window; without a window it waits for the
    // next event.
    void build(osgViewer::View* view);
    // Places everything for a window of that size, in whole pixels from its lower left.
    void layout(int width, int height);
    void toggleHelp();
    void updateLogoVariant();
    // Shows a scene point (the offset is added here) in the readout.
    void showPickedPoint(const osg::Vec3d& point);

    // Read when the overlay is built; later changes reach only picked points.
    void setUseGeoCoords(bool value) { useGeoCoords = value; }
    bool getUseGeoCoords() const { return useGeoCoords; }
    // Double precision: offsets are national grid coordinates, and F3 writes them back.
    void setCoordinateOffset(const osg::Vec3d& offset) { coordinateOffset = offset; }
    const osg::Vec3d& getCoordinateOffset() const { return coordinateOffset; }

    bool isBuilt() const { return built; }
    bool getPickMode() const { return pickMode; }
    osg::Camera* getHudCamera() const { return hudCamera.get(); }
    osg::MatrixTransform* getLegendTransform() const { return legendTransform.get(); }
    osg::MatrixTransform* getLogoTransform() const { return logoTransform.get(); }
    osg::MatrixTransform* getCoordinatePanelTransform() const { return coordinatePanelTransform.get(); }
    osg::MatrixTransform* getCoordinateTextTransform() const { return coordinateTextTransform.get(); }
    osg::MatrixTransform* getCompassTransform() const { return compassTransform.get(); }
    osg::MatrixTransform* getHelpPanelTransform() const { return helpPanelTransform.get(); }
    osg::MatrixTransform* getHelpTextTransform() const { return helpTextTransform.get(); }
    int getCompassSize() const { return compassSize; }
    int getLogoWidth() const { return logoWidth; }
    int getLogoHeight() const { return logoHeight; }
    int getLegendWidth() const { return legendWidth; }
    int getLegendHeight() const { return legendHeight; }
    int getWindowWidth() const { return windowWidth; }
    int getWindowHeight() const { return windowHeight; }

protected:
    ~OverlayController() override = default;

    bool built = false;
    osg::ref_ptr<osg::Group> parent;
    osg::ref_ptr<osg::Camera> camera;
    osg::ref_ptr<osg::MatrixTransform> legendTransform;
    osg::ref_ptr<osg::MatrixTransform> logoTransform;
    osg::ref_ptr<osg::MatrixTransform> coordinatePanelTransform;
    osg::ref_ptr<osg::MatrixTransform> coordinateTextTransform;
    osg::ref_ptr<osg::MatrixTransform> compassTransform;
    osg::ref_ptr<osg::MatrixTransform> helpPanelTransform;
    osg::ref_ptr<osg::MatrixTransform> helpTextTransform;
    osg::ref_ptr<osg::Camera> hudCamera;
    bool useGeoCoords = false;
    osg::Vec3d coordinateOffset;
    int compassSize = 0;
    int logoWidth = 0, logoHeight = 0;
    int legendWidth = 0, legendHeight = 0;
    int helpWidth = 800, helpHeight = 500;
    int windowWidth = 0, windowHeight = 0;
    bool pickMode = false;
};

} // namespace osgTAVRI
