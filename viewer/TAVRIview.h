#pragma once

#include <osg/Group>
#include <osgGA/GUIEventHandler>
#include <osgViewer/Viewer>

#include <string>

namespace osgTAVRI
{

class OverlayController;
class SceneController;
class WindowController;
class EnvironmentController;
class NavigationController;

// The program object: owns the toolkit viewer, builds the scene-graph skeleton, creates the
// controllers and stock handlers, reads the configuration at start-up and writes it on F3.
class TAVRIview : public osgGA::GUIEventHandler
{
public:
    static const char* programName() { return "TAVRIview "; }
    static const char* programVersion() { return "1.02"; }

    TAVRIview();

    osg::Object* cloneType() const override { return osgGA::GUIEventHandler::cloneType(); }
    osg::Object* clone(const osg::CopyOp& copyop) const override { return osgGA::GUIEventHandler::clone(copyop); }
    bool isSameKindAs(const osg::Object* obj) const override { return osgGA::GUIEventHandler::isSameKindAs(obj); }
    const char* libraryName() const override { return osgGA::GUIEventHandler::libraryName(); }
    const char* className() const override { return osgGA::GUIEventHandler::className(); }

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    int run();
    void setup();
    void loadConfiguration();
    void saveConfiguration();

    // The view holds this object as its first event handler; removing it lets the object
    // and its viewer be destroyed once the last outside reference goes.
    void detachFromView();

    bool isSetupDone() const { return setupDone; }
    const std::string& getConfigurationPath() const { return configurationPath; }
    osgViewer::Viewer& getViewer() { return viewer; }
    OverlayController* getOverlayController() const { return overlayController.get(); }
    SceneController* getSceneController() const { return sceneController.get(); }
    WindowController* getWindowController() const { return windowController.get(); }
    EnvironmentController* getEnvironmentController() const { return environmentController.get(); }
    NavigationController* getNavigationController() const { return navigationController.get(); }

protected:
    ~TAVRIview() override;

    bool setupDone = false;
    std::string configurationPath;
    osg::ref_ptr<OverlayController> overlayController;
    osg::ref_ptr<SceneController> sceneController;
    osg::ref_ptr<WindowController> windowController;
    osg::ref_ptr<EnvironmentController> environmentController;
    osg::ref_ptr<NavigationController> navigationController;
    osgViewer::Viewer viewer;
};

} // namespace osgTAVRI
