#pragma once

#include "viewer/scene/BackgroundBuild.h"

#include <osg/Camera>
#include <osg/Group>
#include <osg/Vec4f>
#include <osgGA/GUIEventHandler>

namespace osgTAVRI
{

// The look of the scene as a whole: the two fixed lights, the background colour and, with
// water enabled, the sea with its sky box and planar reflection. Sets the lights on the first
// event it sees and starts building the water on a thread of its own; the water joins the
// scene on the first event after it is ready. Passes every event on.
class EnvironmentController : public osgGA::GUIEventHandler
{
public:
    EnvironmentController();
    EnvironmentController(osg::Camera* camera, osg::Group* scene);
    EnvironmentController(const EnvironmentController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, EnvironmentController);

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // Also sets the main camera's clear colour at once.
    void setBackgroundColor(const osg::Vec4f& color);
    const osg::Vec4f& getBackgroundColor() const { return backgroundColor; }

    void setWaterEnabled(bool value) { waterEnabled = value; }
    bool getWaterEnabled() const { return waterEnabled; }
    void setSeaState(double value) { seaState = value; }
    double getSeaState() const { return seaState; }
    void setWindDirection(double value) { windDirection = value; }
    double getWindDirection() const { return windDirection; }

    bool isInitialised() const { return initialised; }
    // The water was asked for and has not joined the scene yet.
    bool isWaterPending() const { return waterBuild.isPending(); }
    // Adds the water when it is ready; with `wait`, waits for it first.
    void mergeWater(bool wait);

protected:
    ~EnvironmentController() override = default;

    void setupEnvironment();
    // The water's parts, built away from the scene: the reflection and the sky for the scene's
    // parent, then the sea for the scene.
    osg::ref_ptr<osg::Group> buildWater() const;

    bool initialised = false;
    osg::ref_ptr<osg::Camera> camera;
    osg::ref_ptr<osg::Group> scene;
    osg::Vec4f backgroundColor;
    bool waterEnabled = false;
    double seaState = 3.0;
    // Degrees: the compass bearing the wind comes from.
    double windDirection = 250.0;
    // Last, so that its job ends before anything it reads goes away.
    BackgroundBuild waterBuild;
};

} // namespace osgTAVRI
