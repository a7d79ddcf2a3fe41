#pragma once

#include "viewer/recording/PathPlayer.h"
#include "viewer/recording/PathRecorder.h"

#include <osg/Camera>
#include <osg/MatrixTransform>
#include <osg/observer_ptr>
#include <osgGA/GUIEventHandler>

#include <string>

namespace osgTAVRI
{

class NavigationController;
class OverlayController;

// Walk-through recordings. F8 starts and stops recording the camera; the flight goes to a new
// file in the recordings folder. F9 plays the last recording of this run, else the configured
// path, else the newest file in the folder; F9 again, a navigation key or a left-button press
// stops it and leaves the camera where it is. A red mark in the overlay shows while recording.
// It never consumes an event.
class RecordingController : public osgGA::GUIEventHandler
{
public:
    RecordingController() = default;
    RecordingController(osg::Camera* camera, NavigationController* navigation, OverlayController* overlay);
    RecordingController(const RecordingController& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, RecordingController);

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // The configured flight (a file name relative to Bin) and whether it plays at start.
    void setPath(const std::string& filename, bool atStart);
    const std::string& getPathFilename() const { return pathFilename; }
    bool getPlayAtStart() const { return playAtStart; }

    void toggleRecording();
    // Plays the flight in `filename`; false (with one warning line) when it cannot be read.
    bool play(const std::string& filename);
    void togglePlayback();
    void stopPlayback();

    bool isRecording() const { return recorder.isRecording(); }
    bool isPlaying() const { return player.isPlaying(); }
    const std::string& getLastRecording() const { return lastRecording; }
    osg::Node* getMark() const { return mark.get(); }

protected:
    ~RecordingController() override = default;

    void frame(double time);
    void showMark(bool on);
    std::string flightToPlay() const;

    osg::observer_ptr<osg::Camera> camera;
    osg::observer_ptr<NavigationController> navigation;
    osg::observer_ptr<OverlayController> overlay;
    std::string pathFilename;
    bool playAtStart = false;
    bool started = false;
    PathRecorder recorder;
    PathPlayer player;
    std::string lastRecording;
    // Time of the last frame: the camera shows that frame's pose until this frame's update.
    double lastFrameTime = 0.0;
    osg::ref_ptr<osg::MatrixTransform> mark;
};

} // namespace osgTAVRI
