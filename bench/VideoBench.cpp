// Cost of a video: the demo's sample flight rendered off screen to 1280 x 720 H.264 (render and
// encode time per frame) against the interactive viewer drawing the same poses at the same
// detail in a window of the same size, in the same run, on the demo without water. Goal: ratio
// <= 1.3, with the encoding at most a fifth of the video's time.
//
// Needs an X display with GLX (scripts/run-bench.sh provides one) and the demo laid out by
// make dist.
#include "bench/FrameComparison.h"
#include "viewer/TAVRIview.h"
#include "viewer/navigation/NavigationController.h"
#include "viewer/recording/PathFile.h"
#include "viewer/recording/PathInterpolator.h"
#include "viewer/VideoRenderer.h"

#include <osgDB/DatabasePager>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace
{
const int width = 1280;
const int height = 720;
const int fps = 30;

// Mean time of an interactive frame at each of the video's poses, at the detail the video
// shows there: before each timed frame, untimed frames let the pager bring in what the pose
// needs. (Timed while it still pages, a window draws coarser ground than the video, which
// waits for the finest.)
double interactiveMs(tavribench::InstallTree& tree, const osgTAVRI::PathInterpolator& poses, int frames)
{
    osg::ref_ptr<osgTAVRI::TAVRIview> view = tree.startViewer();
    osgViewer::Viewer& viewer = view->getViewer();
    for (int i = 0; i < 10; ++i)
        tavribench::frameMs(viewer);
    osgDB::DatabasePager* pager = viewer.getDatabasePager();
    double total = 0.0;
    for (int n = 0; n < frames; ++n)
    {
        view->getNavigationController()->setByMatrix(poses.poseAt(poses.getStartTime() + double(n) / fps));
        viewer.frame();
        for (int i = 0; pager && pager->getRequestsInProgress() && i < 2000; ++i)
        {
            usleep(2000);
            viewer.frame();
        }
        total += tavribench::frameMs(viewer);
    }
    return total / frames;
}
} // namespace

int main()
{
    const fs::path demo = TAVRI_DEMO_DIST;
    const fs::path flight = demo / "Content/Paths/Demo.path";
    if (!fs::exists(flight) || !fs::exists(demo / "Content/Terrain") || !fs::exists(demo / "Resources/Configuration.xml"))
    {
        std::printf("VideoBench: no demo in %s (make dist lays it out); skipped\n", demo.c_str());
        return 0;
    }
    tavribench::InstallTree tree("VideoBench");
    if (!tree.valid())
        return 1;
    std::error_code error;
    for (const char* folder : {"Fonts", "Images"})
        fs::copy(demo / "Resources" / folder, tree.root / "Resources" / folder, fs::copy_options::recursive, error);
    fs::create_directory_symlink(demo / "Content", tree.root / "Content", error);
    if (error)
    {
        std::fprintf(stderr, "VideoBench: cannot lay out the demo: %s\n", error.message().c_str());
        return 1;
    }
    // The demo's scene and view without water, in a window of the video's size.
    std::ifstream in(demo / "Resources/Configuration.xml");
    std::stringstream text;
    text << in.rdbuf();
    std::string configuration = std::regex_replace(text.str(), std::regex("enableWater=\"1\""), "enableWater=\"0\"");
    configuration = std::regex_replace(configuration, std::regex("<Window[^>]*>"), "");
    std::ofstream(tree.root / "Resources/Configuration.xml")
        << configuration << "<Window x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height << "\"/>\n";

    std::string why;
    osg::ref_ptr<osg::AnimationPath> path = osgTAVRI::PathFile::read(flight.string(), why);
    if (!path)
    {
        std::fprintf(stderr, "VideoBench: %s\n", why.c_str());
        return 1;
    }
    const osgTAVRI::PathInterpolator poses(*path);
    const int frames = osgTAVRI::VideoRenderer::frameCount(poses.getEndTime() - poses.getStartTime(), fps);

    osgTAVRI::VideoRenderer::Settings settings;
    settings.pathFile = flight.string();
    settings.output = (tree.root / "bench.mp4").string();
    settings.width = width;
    settings.height = height;
    settings.fps = fps;
    tree.enterBin();
    osgTAVRI::VideoRenderer renderer(settings);
    if (renderer.run() != osgTAVRI::VideoRenderer::Done || renderer.getRenderedFrames() != frames)
    {
        std::fprintf(stderr, "VideoBench: the video was not made\n");
        return 1;
    }
    // After the video, so that both sides read the tiles from the system's file cache.
    const double interactive = interactiveMs(tree, poses, frames);

    const double render = renderer.getRenderMs() / frames;
    const double encode = renderer.getEncodeMs() / frames;
    const double ratio = (render + encode) / interactive;
    std::printf("video render %dx%d, %d frames: render %.1f ms/frame, encode %.1f ms/frame, interactive frame %.1f ms, "
                "ratio %.2f\n",
                width, height, frames, render, encode, interactive, ratio);
    std::printf("goal: ratio <= 1.3 (%s), encoding <= 20 %% of the video's time: %.0f %% (%s); interactive frames "
                "timed at the video's detail\n",
                ratio <= 1.3 ? "met" : "missed", 100.0 * encode / (render + encode),
                encode <= 0.2 * (render + encode) ? "met" : "missed");
    return 0;
}
