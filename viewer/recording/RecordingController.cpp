#include "viewer/recording/RecordingController.h"

#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/PathFile.h"
#include "viewer/recording/RecordingFolder.h"

#include <osg/Geometry>
#include <osg/Notify>
#include <osgDB/FileUtils>

#include <cmath>

namespace osgTAVRI
{

namespace
{
const float markRadius = 9.0f;
const float markMargin = 24.0f; // from the lower right corner of the window to the mark's centre

// A red disc of markRadius pixels round the origin.
osg::ref_ptr<osg::MatrixTransform> makeMark()
{
    const int segments = 24;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back(osg::Vec3());
    for (int i = 0; i <= segments; ++i)
    {
        const float angle = 2.0f * osg::PIf * static_cast<float>(i) / segments;
        vertices->push_back(osg::Vec3(markRadius * std::cos(angle), markRadius * std::sin(angle), 0.0f));
    }
    osg::ref_ptr<osg::Vec4Array> colors = new osg::Vec4Array;
    colors->push_back(osg::Vec4(0.9f, 0.05f, 0.05f, 1.0f));
    osg::ref_ptr<osg::Geometry> disc = new osg::Geometry;
    disc->setVertexArray(vertices.get());
    disc->setColorArray(colors.get(), osg::Array::BIND_OVERALL);
    disc->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(vertices->size())));
    disc->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    osg::ref_ptr<osg::MatrixTransform> transform = new osg::MatrixTransform;
    transform->setName("RecordingMark");
    transform->addChild(disc.get());
    transform->setNodeMask(0);
    return transform;
}

bool isLeftPress(const osgGA::GUIEventAdapter& ea)
{
    return ea.getEventType() == osgGA::GUIEventAdapter::PUSH &&
           ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON;
}
} // namespace

RecordingController::RecordingController(osg::Camera* masterCamera, NavigationController* navigationController,
                                         OverlayController* overlayController)
    : camera(masterCamera), navigation(navigationController), overlay(overlayController), mark(makeMark())
{
}

RecordingController::RecordingController(const RecordingController& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osgGA::GUIEventHandler(other, copyop),
      camera(other.camera), navigation(other.navigation), overlay(other.overlay), pathFilename(other.pathFilename),
      playAtStart(other.playAtStart), mark(makeMark())
{
}

void RecordingController::setPath(const std::string& filename, bool atStart)
{
    pathFilename = filename;
    playAtStart = atStart;
}

bool RecordingController::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter&)
{
    if (ea.getHandled())
        return false;
    switch (ea.getEventType())
    {
    case osgGA::GUIEventAdapter::KEYDOWN:
        if (ea.getKey() == osgGA::GUIEventAdapter::KEY_F8)
            toggleRecording();
        else if (ea.getKey() == osgGA::GUIEventAdapter::KEY_F9)
            togglePlayback();
        else if (isPlaying() && navigation.valid() && navigation->isNavigationKey(ea.getKey()))
            stopPlayback();
        break;
    case osgGA::GUIEventAdapter::PUSH:
        if (isPlaying() && isLeftPress(ea))
            stopPlayback();
        break;
    case osgGA::GUIEventAdapter::FRAME:
        frame(ea.getTime());
        break;
    default:
        break;
    }
    return false;
}

void RecordingController::frame(double time)
{
    if (!started)
    {
        started = true;
        if (playAtStart && !pathFilename.empty())
            play(pathFilename);
    }
    if (camera.valid())
        recorder.sample(lastFrameTime, camera->getInverseViewMatrix());

    osg::ref_ptr<NavigationController> navigationController;
    if (player.isPlaying() && navigation.lock(navigationController))
    {
        osg::Matrixd pose;
        const bool playing = player.step(time, pose);
        navigationController->setByMatrix(pose);
        if (!playing)
            OSG_NOTICE << "Uppspelningen är slut" << std::endl;
    }

    osg::ref_ptr<OverlayController> overlayController;
    if (mark->getNumParents() == 0 && overlay.lock(overlayController) && overlayController->getHudCamera())
        overlayController->getHudCamera()->addChild(mark.get());
    if (overlay.lock(overlayController))
        mark->setMatrix(osg::Matrixd::translate(overlayController->getWindowWidth() - markMargin, markMargin, 0.0));
    lastFrameTime = time;
}

void RecordingController::showMark(bool on)
{
    mark->setNodeMask(on ? ~0u : 0u);
}

void RecordingController::toggleRecording()
{
    if (!camera.valid())
        return;
    const osg::Matrixd pose = camera->getInverseViewMatrix();
    if (!recorder.isRecording())
    {
        recorder.start(lastFrameTime, pose);
        showMark(true);
        OSG_NOTICE << "Inspelningen startade" << std::endl;
        return;
    }
    recorder.sample(lastFrameTime, pose);
    osg::ref_ptr<osg::AnimationPath> flight = recorder.stop();
    showMark(false);
    const std::string path = newRecordingPath();
    osgDB::makeDirectory(recordingFolder());
    if (PathFile::write(*flight, path))
    {
        lastRecording = path;
        OSG_NOTICE << "Flygningen sparades i " << path << std::endl;
    }
    else
        OSG_WARN << "Kunde inte spara flygningen i " << path << std::endl;
}

std::string RecordingController::flightToPlay() const
{
    if (!lastRecording.empty())
        return lastRecording;
    if (!pathFilename.empty())
        return pathFilename;
    return newestRecording();
}

bool RecordingController::play(const std::string& filename)
{
    std::string error;
    osg::ref_ptr<osg::AnimationPath> flight = PathFile::read(filename, error);
    if (!flight)
    {
        OSG_WARN << error << std::endl;
        return false;
    }
    osg::ref_ptr<NavigationController> navigationController;
    if (navigation.lock(navigationController))
        navigationController->stopMotion();
    player.start(*flight);
    OSG_NOTICE << "Spelar upp " << filename << std::endl;
    return true;
}

void RecordingController::togglePlayback()
{
    if (player.isPlaying())
    {
        stopPlayback();
        return;
    }
    const std::string filename = flightToPlay();
    if (filename.empty())
    {
        OSG_NOTICE << "Det finns ingen inspelad flygning att spela upp" << std::endl;
        return;
    }
    play(filename);
}

void RecordingController::stopPlayback()
{
    if (!player.isPlaying())
        return;
    player.stop();
    OSG_NOTICE << "Uppspelningen stoppades" << std::endl;
}

} // namespace osgTAVRI
