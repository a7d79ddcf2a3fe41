// Cost of the water: the frame time of the real viewer in a 1024 x 768 window over a coast of
// about 350 000 triangles, with the sea, its sky box and its planar reflection against the same
// view with all three switched off, in the same run, frames alternating (bench/FrameComparison.h).
//
// Needs an X display with GLX (scripts/run-bench.sh provides one when there is none).
#include "bench/FrameComparison.h"
#include "viewer/TAVRIview.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/environment/sea/SeaDrawable.h"

#include <osg/Geode>
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
const int cells = 420;
const double cellSize = 5.0;
const int width = 1024;
const int height = 768;

// Hills that run down northwards into the sea: the southern half stands above z = 0, the
// northern half lies under water.
osg::ref_ptr<osg::Node> makeCoast()
{
    return tavribench::makeGround(cells, cellSize, [](unsigned int i, unsigned int j) {
        return 40.0 - 80.0 * j / cells + 12.0 * std::sin(i / 23.0) * std::cos(j / 41.0);
    });
}

// The water's three nodes with the masks they were built with: the reflection camera, the
// sky box and the sea's geode, in this order.
struct Water
{
    std::vector<std::pair<osg::ref_ptr<osg::Node>, unsigned int>> nodes;

    // Switches the nodes whose bit is set in `which` on or off, the others off.
    void show(bool on, unsigned int which = ~0u)
    {
        for (std::size_t i = 0; i < nodes.size(); ++i)
            nodes[i].first->setNodeMask(on && (which & (1u << i)) ? nodes[i].second : 0u);
    }
};

// Everything under "SceneRoot" beside "Scene" (reflection camera, sky box) and the geode of
// the sea drawable under "Scene".
Water findWater(osg::Group* sceneRoot, osg::Group* scene)
{
    Water water;
    for (unsigned int i = 0; i < sceneRoot->getNumChildren(); ++i)
        if (sceneRoot->getChild(i) != scene)
            water.nodes.emplace_back(sceneRoot->getChild(i), sceneRoot->getChild(i)->getNodeMask());
    for (unsigned int i = 0; i < scene->getNumChildren(); ++i)
        if (osg::Geode* geode = scene->getChild(i)->asGeode())
            if (geode->getNumDrawables() > 0 && dynamic_cast<osgTAVRI::SeaDrawable*>(geode->getDrawable(0)))
                water.nodes.emplace_back(geode, geode->getNodeMask());
    return water;
}
} // namespace

int main()
{
    tavribench::InstallTree tree("WaterBench");
    if (!tree.valid())
        return 1;
    const fs::path& root = tree.root;
    std::error_code copyError;
    fs::copy(TAVRI_SEA_DATA, root / "Resources/Sea", fs::copy_options::recursive, copyError);
    if (copyError)
    {
        std::fprintf(stderr, "WaterBench: cannot copy %s: %s\n", TAVRI_SEA_DATA, copyError.message().c_str());
        return 1;
    }
    const double centre = 0.5 * cells * cellSize;
    // Low over the sea, looking south at the shore.
    std::ofstream(root / "Resources/Configuration.xml")
        << "<Window x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height << "\" numSamples=\"0\"/>\n"
        << "<Environment enableWater=\"1\" seaState=\"3\" windDirection=\"250\"/>\n"
        << "<Navigation homeEyeX=\"" << centre << "\" homeEyeY=\"" << 2.6 * centre
        << "\" homeEyeZ=\"60\" homeCenterX=\"" << centre << "\" homeCenterY=\"" << 0.6 * centre
        << "\" homeCenterZ=\"10\"/>\n";

    int status = 0;
    {
        osg::ref_ptr<osgTAVRI::TAVRIview> view = tree.startViewer();
        osgViewer::Viewer& viewer = view->getViewer();
        osg::Group* sceneRoot = viewer.getSceneData()->asGroup()->getChild(0)->asGroup();
        osg::Group* scene = sceneRoot->getChild(0)->asGroup();
        Water water = findWater(sceneRoot, scene);
        const osgTAVRI::SeaDrawable* sea = nullptr;
        for (auto& node : water.nodes)
            if (osg::Geode* geode = node.first->asGeode())
                sea = static_cast<const osgTAVRI::SeaDrawable*>(geode->getDrawable(0));
        scene->addChild(makeCoast());
        for (int i = 0; i < 10; ++i) // warm-up: the sea starts, textures and buffers are made
            tavribench::frameMs(viewer);
        if (water.nodes.size() != 3 || !sea || !sea->getOcean())
        {
            std::fprintf(stderr, "WaterBench: the sea did not start\n");
            status = 1;
        }
        else
        {
            const int pairs = 60;
            const osg::Timer_t start = osg::Timer::instance()->tick();
            const tavribench::Comparison c =
                tavribench::compareFrames(viewer, [&water](bool on) { water.show(on); }, pairs);
            std::printf("water on %.1f ms/frame (%.1f fps), off %.1f ms/frame (%.1f fps), ratio %.3f (goal <= 2)\n",
                        c.onMs, 1000.0 / c.onMs, c.offMs, 1000.0 / c.offMs, c.ratio);
            std::printf("%d x %d, %d triangles, %d alternating pairs of frames, %.1f s, sea shaded at %s size\n", width,
                        height, 2 * cells * cells, pairs,
                        osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick()),
                        sea->wasReduced() ? "reduced" : "full");
            // Where the cost lies: each part alone against no water.
            const char* parts[3] = {"reflection", "sky box", "sea"};
            for (unsigned int part = 0; part < 3; ++part)
            {
                const tavribench::Comparison p =
                    tavribench::compareFrames(viewer, [&water, part](bool on) { water.show(on, 1u << part); }, 20);
                std::printf("  %s alone: %.1f ms/frame against %.1f, ratio %.3f\n", parts[part], p.onMs, p.offMs,
                            p.ratio);
            }
            water.show(true);
        }
    }
    return status;
}
