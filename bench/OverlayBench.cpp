// Cost of the heads-up overlay: the frame time of the real viewer over a terrain of about
// 700 000 triangles in a 1280 x 1024 window, with the overlay shown against the same view
// with the overlay switched off, in the same run. Frames with and without alternate one by
// one, so that the load of a shared machine falls on both alike; the ratio is the median of
// the ratios of neighbouring frames, the frame times are medians.
//
// Needs an X display with GLX (scripts/run-bench.sh provides one when there is none).
#include "bench/FrameComparison.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/TAVRIview.h"

#include <osg/Timer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
const int cells = 600;
const double cellSize = 4.0;

// Rolling ground 2.4 km on a side, seen from the south as the demo sees its terrain.
osg::ref_ptr<osg::Node> makeTerrain()
{
    return tavribench::makeGround(cells, cellSize, [](unsigned int i, unsigned int j) {
        return 30.0 + 14.0 * std::sin(i / 37.0) * std::cos(j / 53.0) + 3.0 * std::sin((i + 2.0 * j) / 11.0);
    });
}

void report(const char* what, const tavribench::Comparison& c)
{
    std::printf("overlay %s: shown %.1f ms/frame, off %.1f ms/frame, ratio %.3f (goal <= 1.05)\n", what, c.onMs,
                c.offMs, c.ratio);
}
} // namespace

int main()
{
    tavribench::InstallTree tree("OverlayBench");
    if (!tree.valid())
        return 1;
    const fs::path& root = tree.root;
    fs::create_directories(root / "Resources/Fonts");
    fs::copy(TAVRI_OVERLAY_IMAGES, root / "Resources/Images", fs::copy_options::recursive);
    fs::copy_file(TAVRI_OVERLAY_FONT, root / "Resources/Fonts/arial.ttf");
    const double centre = 0.5 * cells * cellSize;
    std::ofstream(root / "Resources/Configuration.xml")
        << "<Window x=\"0\" y=\"0\" width=\"1280\" height=\"1024\" numSamples=\"0\"/>\n"
        << "<Navigation homeEyeX=\"" << centre << "\" homeEyeY=\"-600\" homeEyeZ=\"500\" homeCenterX=\"" << centre
        << "\" homeCenterY=\"" << centre << "\" homeCenterZ=\"30\"/>\n";

    int status = 0;
    {
        osg::ref_ptr<osgTAVRI::TAVRIview> view = tree.startViewer();
        osgViewer::Viewer& viewer = view->getViewer();
        osgTAVRI::OverlayController* overlay = view->getOverlayController();
        osg::Camera* hud = overlay->getHudCamera();
        if (!hud || hud->getNumChildren() != 7)
        {
            std::fprintf(stderr, "OverlayBench: the overlay was not built with all its items\n");
            status = 1;
        }
        else
        {
            osg::Node* sceneRoot = viewer.getSceneData()->asGroup()->getChild(0);
            sceneRoot->asGroup()->getChild(0)->asGroup()->addChild(makeTerrain());
            viewer.frame();
            for (int i = 0; i < 10; ++i) // warm-up: textures, glyphs and buffers are made
                tavribench::frameMs(viewer);
            const int pairs = 60;
            const osg::Timer_t start = osg::Timer::instance()->tick();
            auto show = [hud](bool on) { hud->setNodeMask(on ? ~0u : 0u); };
            const tavribench::Comparison withHelp = tavribench::compareFrames(viewer, show, pairs);
            overlay->toggleHelp();
            const tavribench::Comparison working = tavribench::compareFrames(viewer, show, pairs);
            report("(help page closed)", working);
            report("(help page open)", withHelp);
            std::printf("1280 x 1024, %d triangles, %d alternating pairs of frames each, %.1f s\n", 2 * cells * cells,
                        pairs, osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick()));
        }
    }
    return status;
}
