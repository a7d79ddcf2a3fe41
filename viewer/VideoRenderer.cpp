#include "viewer/VideoRenderer.h"

#include "common/AtomicFile.h"
#include "common/TemporaryFiles.h"
#include "viewer/TAVRIview.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/PathFile.h"
#include "viewer/recording/PathInterpolator.h"
#include "viewer/recording/RecordingController.h"
#include "viewer/recording/VideoEncoder.h"
#include "viewer/recording/VideoProgress.h"

#include <osg/Notify>
#include <osgDB/DatabasePager>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace osgTAVRI
{

namespace
{
const char* const usage =
    "Usage: TAVRIview --video PATH.path OUT.mp4 [--size 1920x1080] [--fps 30] [--noOverlay]";

// Copies the finished picture, overlay included, after the camera has drawn everything.
struct CaptureCallback : public osg::Camera::DrawCallback
{
    explicit CaptureCallback(int w, int h) : width(w), height(h), image(new osg::Image) {}
    void operator()(osg::RenderInfo&) const override
    {
        image->readPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE);
    }
    int width, height;
    osg::ref_ptr<osg::Image> image;
};

bool readNumber(const char* text, long low, long high, int& value)
{
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool readSize(const std::string& text, int& width, int& height)
{
    const std::string::size_type x = text.find('x');
    return x != std::string::npos && readNumber(text.substr(0, x).c_str(), 16, 8192, width) &&
           readNumber(text.substr(x + 1).c_str(), 16, 8192, height);
}

// True while the pager's threads still read files that frames asked for.
bool pagerReading(osgDB::DatabasePager& pager)
{
    if (pager.getFileRequestListSize() > 0)
        return true;
    for (unsigned int i = 0; i < pager.getNumDatabaseThreads(); ++i)
        if (pager.getDatabaseThread(i)->getActive())
            return true;
    return false;
}

// Draws frames at the same moment until the content built in the background has joined the
// scene and the pager has brought in what the view needs, so that no frame shows a part still
// missing; a pager that never settles is given up on after about ten seconds.
void drawSettled(TAVRIview& view, double time)
{
    osgViewer::Viewer& viewer = view.getViewer();
    viewer.frame(time);
    if (view.isContentPending())
    {
        view.waitForContent();
        viewer.frame(time);
    }
    osgDB::DatabasePager* pager = viewer.getDatabasePager();
    // A frame merges what the pager has read and asks for what that brings into view. Drawing
    // is the dear part, so the next frame waits until the files asked for have been read.
    int waits = 0;
    for (int attempt = 0; pager && pager->getRequestsInProgress() && attempt < 100 && waits < 5000; ++attempt)
    {
        for (; pagerReading(*pager) && waits < 5000; ++waits)
            usleep(2000);
        viewer.frame(time);
    }
}

double elapsedMs(osg::Timer_t since)
{
    return osg::Timer::instance()->delta_m(since, osg::Timer::instance()->tick());
}
} // namespace

bool VideoRenderer::requested(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--video") == 0)
            return true;
    return false;
}

bool VideoRenderer::parse(int argc, char** argv, Settings& settings, std::string& error)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--video")
            continue;
        if (argument == "--noOverlay")
            settings.overlay = false;
        else if (argument == "--size")
        {
            if (!hasValue || !readSize(argv[++i], settings.width, settings.height))
            {
                error = "--size needs WIDTHxHEIGHT, each 16 to 8192 pixels";
                return false;
            }
            if (settings.width % 2 != 0 || settings.height % 2 != 0)
            {
                error = "--size needs even numbers (H.264 halves the colour resolution)";
                return false;
            }
        }
        else if (argument == "--fps")
        {
            if (!hasValue || !readNumber(argv[++i], 1, 240, settings.fps))
            {
                error = "--fps needs a whole number of frames per second from 1 to 240";
                return false;
            }
        }
        else if (argument.compare(0, 2, "--") == 0)
        {
            error = "Unknown option " + argument;
            return false;
        }
        else
            files.push_back(argument);
    }
    if (files.size() != 2)
    {
        error = usage;
        return false;
    }
    settings.pathFile = files[0];
    settings.output = files[1];
    return true;
}

int VideoRenderer::main(int argc, char** argv)
{
    Settings settings;
    std::string error;
    if (!parse(argc, argv, settings, error))
    {
        OSG_FATAL << error << std::endl;
        return BadInput;
    }
    return VideoRenderer(settings).run();
}

int VideoRenderer::frameCount(double duration, int fps)
{
    // A hair of tolerance: a 2 s flight at 30 fps has 61 frames even when its times were rounded.
    return static_cast<int>(std::floor(duration * fps + 1e-6)) + 1;
}

VideoRenderer::VideoRenderer(const Settings& videoSettings) : settings(videoSettings) {}

int VideoRenderer::run()
{
    // Before any thread starts, so that Ctrl-C removes the unfinished video in every case.
    TemporaryFiles::removeOnSignals();

    std::string error;
    osg::ref_ptr<osg::AnimationPath> flight = PathFile::read(settings.pathFile, error);
    if (!flight)
    {
        OSG_FATAL << error << std::endl;
        return BadInput;
    }
    const PathInterpolator poses(*flight);
    const int frames = frameCount(poses.getEndTime() - poses.getStartTime(), settings.fps);

    std::string temporary;
    const int fd = TemporaryFiles::create(AtomicFile::temporaryPrefix(settings.output), ".part", temporary);
    if (fd < 0)
    {
        OSG_FATAL << "Cannot write " << settings.output << ": " << std::strerror(errno) << std::endl;
        return EncodingFailed;
    }
    ::close(fd);
    const auto fail = [&temporary](int code, const std::string& why) {
        TemporaryFiles::discard(temporary);
        OSG_FATAL << why << std::endl;
        return code;
    };

    VideoEncoder encoder;
    if (!encoder.open(temporary, settings.width, settings.height, settings.fps, error))
        return fail(EncodingFailed, error);

    osg::ref_ptr<TAVRIview> view = new TAVRIview;
    view->setOffscreenSize(settings.width, settings.height);
    osgViewer::Viewer& viewer = view->getViewer();
    viewer.setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    view->setup();
    osg::Camera* camera = viewer.getCamera();
    if (!camera->getGraphicsContext() || !camera->getGraphicsContext()->valid())
        return fail(NoRendering, "Cannot draw off screen: no pixel buffer of " + std::to_string(settings.width) +
                                     " x " + std::to_string(settings.height) + " on this display");
    // The flight holds the camera; the path configured for the window has no say here.
    viewer.setCameraManipulator(nullptr);
    view->getRecordingController()->setPath(std::string(), false);
    if (!settings.overlay)
        for (unsigned int i = 0; i < viewer.getSceneData()->asGroup()->getNumChildren(); ++i)
            if (viewer.getSceneData()->asGroup()->getChild(i)->getName() == "Overlay")
                viewer.getSceneData()->asGroup()->getChild(i)->setNodeMask(0);

    osg::ref_ptr<CaptureCallback> capture = new CaptureCallback(settings.width, settings.height);
    camera->setFinalDrawCallback(capture.get());

    // One frame before the first builds the overlay and the sea; the help page that a window
    // starts with has no place in a video.
    camera->setViewMatrix(osg::Matrixd::inverse(poses.poseAt(poses.getStartTime())));
    drawSettled(*view, 0.0);
    OverlayController* overlay = view->getOverlayController();
    if (overlay->getHelpPanelTransform() && overlay->getHelpPanelTransform()->getNodeMask() != 0)
        overlay->toggleHelp();

    VideoProgress progress(frames, stdout);
    for (int n = 0; n < frames; ++n)
    {
        const double time = static_cast<double>(n) / settings.fps;
        osg::Timer_t started = osg::Timer::instance()->tick();
        camera->setViewMatrix(osg::Matrixd::inverse(poses.poseAt(poses.getStartTime() + time)));
        drawSettled(*view, time);
        renderMs += elapsedMs(started);
        if (!capture->image->data())
            return fail(NoRendering, "Cannot read back the off-screen picture");
        started = osg::Timer::instance()->tick();
        if (!encoder.addFrame(capture->image->data(), error))
            return fail(EncodingFailed, error);
        encodeMs += elapsedMs(started);
        progress.update(n + 1);
    }
    progress.finish();
    osg::Timer_t started = osg::Timer::instance()->tick();
    if (!encoder.finish(error))
        return fail(EncodingFailed, error);
    encodeMs += elapsedMs(started);
    renderedFrames = frames;
    if (!TemporaryFiles::commit(temporary, settings.output))
        return fail(EncodingFailed, "Cannot write " + settings.output + ": " + std::strerror(errno));
    OSG_NOTICE << "Video " << settings.output << ": " << frames << " frames, " << settings.width << " x "
               << settings.height << " at " << settings.fps << " fps" << std::endl;
    return Done;
}

} // namespace osgTAVRI
