#pragma once

#include <osg/Camera>
#include <osg/Group>
#include <osg/Vec3f>
#include <osgGA/GUIEventHandler>

namespace osgTAVRI
{

// The heads-up overlay: help page, logo, legend, coordinate readout and compass.
// For now it only keeps the coordinate settings that the configuration hands over.
class OverlayController : public osgGA::GUIEventHandler
{
public:
    OverlayController(osg::Group* overlay, osg::Camera* camera);

    osg::Object* cloneType() const override { return osgGA::GUIEventHandler::cloneType(); }
    osg::Object* clone(const osg::CopyOp& copyop) const override { return osgGA::GUIEventHandler::clone(copyop); }
    bool isSameKindAs(const osg::Object* obj) const override { return osgGA::GUIEventHandler::isSameKindAs(obj); }
    const char* libraryName() const override { return osgGA::GUIEventHandler::libraryName(); }
    const char* className() const override { return osgGA::GUIEventHandler::className(); }

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    void setUseGeoCoords(bool value) { useGeoCoords = value; }
    bool getUseGeoCoords() const { return useGeoCoords; }
    void setCoordinateOffset(const osg::Vec3f& offset) { coordinateOffset = offset; }
    const osg::Vec3f& getCoordinateOffset() const { return coordinateOffset; }

protected:
    ~OverlayController() override = default;

    osg::ref_ptr<osg::Group> overlay;
    osg::ref_ptr<osg::Camera> camera;
    bool useGeoCoords = false;
    osg::Vec3f coordinateOffset;
};

} // namespace osgTAVRI
