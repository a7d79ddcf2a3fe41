#pragma once

#include "viewer/ConfigurationFile.h"

#include <osg/Referenced>
#include <osg/ref_ptr>
#include <osgViewer/Viewer>

#include <string>

namespace osgTAVRI
{

class OverlayController;
class SceneController;
class WindowController;
class EnvironmentController;
class NavigationController;
class RecordingController;

// The program object: owns the toolkit viewer, builds the scene-graph skeleton, creates the
// controllers and stock handlers, reads the configuration at start-up and writes it on F3.
// Releasing the last reference ends the viewer, its window and its threads.
class TAVRIview : public osg::Referenced
{
public:
    TAVRIview();

    int run();
    void setup();
    // Draws into an off-screen buffer of this size instead of a window; call before setup().
    void setOffscreenSize(int width, int height);
    void loadConfiguration();
    void saveConfiguration();

    // The configuration read at start and written on F3, and the folder that its relative model
    // paths are read from (empty: the working directory). Set before setup.
    void setConfiguration(const std::string& path, const std::string& folder);

    // Content and water that the first event started building and that have not joined the
    // scene yet; waitForContent waits for them and adds them.
    bool isContentPending() const;
    void waitForContent();

    bool isSetupDone() const { return setupDone; }
    const std::string& getConfigurationPath() const { return configurationPath; }
    osgViewer::Viewer& getViewer() { return *viewer; }
    OverlayController* getOverlayController() const { return overlayController.get(); }
    SceneController* getSceneController() const { return sceneController.get(); }
    WindowController* getWindowController() const { return windowController.get(); }
    EnvironmentController* getEnvironmentController() const { return environmentController.get(); }
    NavigationController* getNavigationController() const { return navigationController.get(); }
    RecordingController* getRecordingController() const { return recordingController.get(); }

protected:
    ~TAVRIview() override = default;

    ConfigurationFile::Controllers configurationControllers() const;

    bool setupDone = false;
    std::string configurationPath;
    std::string modelFolder;
    int offscreenWidth = 0;
    int offscreenHeight = 0;
    osg::ref_ptr<OverlayController> overlayController;
    osg::ref_ptr<SceneController> sceneController;
    osg::ref_ptr<WindowController> windowController;
    osg::ref_ptr<EnvironmentController> environmentController;
    osg::ref_ptr<NavigationController> navigationController;
    osg::ref_ptr<RecordingController> recordingController;
    // Last, so that it goes first: the viewer ends before the controllers are let go.
    osg::ref_ptr<osgViewer::Viewer> viewer;
};

} // namespace osgTAVRI
