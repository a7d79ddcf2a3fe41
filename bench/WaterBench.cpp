// Cost of the water: the frame time of the real viewer in a 1024 x 768 window over a coast of
// about 360 000 triangles, with the sea, its sky box and its planar reflection against the same
// view with all three switched off, in the same run. Frames with and without alternate one by
// one, so that the load of a shared machine falls on both alike; the ratio is the median of the
// ratios of neighbouring frames, the frame times are medians.
//
// Needs an X display with GLX (scripts/run-bench.sh provides one when there is none).
#include "viewer/TAVRIview.h"
#include "viewer/environment/EnvironmentController.h"
#include "viewer/environment/SeaDrawable.h"

#include <osg/Geode>
#include <osg/Shape>
#include <osg/ShapeDrawable>
#include <osg/Timer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

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
    osg::ref_ptr<osg::HeightField> field = new osg::HeightField;
    field->allocate(cells + 1, cells + 1);
    field->setXInterval(cellSize);
    field->setYInterval(cellSize);
    for (unsigned int j = 0; j <= cells; ++j)
        for (unsigned int i = 0; i <= cells; ++i)
            field->setHeight(i, j, static_cast<float>(40.0 - 80.0 * j / cells + 12.0 * std::sin(i / 23.0) *
                                                                                    std::cos(j / 41.0)));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(new osg::ShapeDrawable(field.get()));
    return geode;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double frameMs(osgViewer::Viewer& viewer)
{
    const osg::Timer_t start = osg::Timer::instance()->tick();
    viewer.frame();
    return 1000.0 * osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
}

// The water's three nodes with the masks they were built with.
struct Water
{
    std::vector<std::pair<osg::ref_ptr<osg::Node>, unsigned int>> nodes;

    void show(bool on)
    {
        for (auto& node : nodes)
            node.first->setNodeMask(on ? node.second : 0u);
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
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "WaterBench: no X display (run it through scripts/run-bench.sh)\n");
        return 1;
    }
    char folderTemplate[] = "/tmp/water-bench-XXXXXX";
    const char* folder = mkdtemp(folderTemplate);
    if (!folder)
    {
        std::fprintf(stderr, "WaterBench: cannot create a temporary folder\n");
        return 1;
    }
    const fs::path root(folder);
    fs::create_directories(root / "Bin");
    fs::copy(TAVRI_SEA_DATA, root / "Resources/Sea", fs::copy_options::recursive);
    const double centre = 0.5 * cells * cellSize;
    // Low over the sea, looking south at the shore.
    std::ofstream(root / "Resources/Configuration.xml")
        << "<Window x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height << "\" numSamples=\"0\"/>\n"
        << "<Environment enableWater=\"1\" seaState=\"3\" windDirection=\"250\"/>\n"
        << "<Navigation homeEyeX=\"" << centre << "\" homeEyeY=\"" << 2.6 * centre
        << "\" homeEyeZ=\"60\" homeCenterX=\"" << centre << "\" homeCenterY=\"" << 0.6 * centre
        << "\" homeCenterZ=\"10\"/>\n";

    const std::string previous = fs::current_path().string();
    fs::current_path(root / "Bin");
    int status = 0;
    {
        osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
        osgViewer::Viewer& viewer = view->getViewer();
        viewer.setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
        view->setup();
        viewer.frame();
        osg::Group* sceneRoot = viewer.getSceneData()->asGroup()->getChild(0)->asGroup();
        osg::Group* scene = sceneRoot->getChild(0)->asGroup();
        Water water = findWater(sceneRoot, scene);
        const osgTAVRI::SeaDrawable* sea = nullptr;
        for (auto& node : water.nodes)
            if (osg::Geode* geode = node.first->asGeode())
                sea = static_cast<const osgTAVRI::SeaDrawable*>(geode->getDrawable(0));
        scene->addChild(makeCoast());
        for (int i = 0; i < 10; ++i) // warm-up: the sea starts, textures and buffers are made
            frameMs(viewer);
        if (water.nodes.size() != 3 || !sea || !sea->getOcean())
        {
            std::fprintf(stderr, "WaterBench: the sea did not start\n");
            status = 1;
        }
        else
        {
            const int pairs = 60;
            std::vector<double> on, off, ratios;
            const osg::Timer_t start = osg::Timer::instance()->tick();
            for (int i = 0; i < pairs; ++i)
            {
                water.show(true);
                on.push_back(frameMs(viewer));
                water.show(false);
                off.push_back(frameMs(viewer));
                ratios.push_back(on.back() / off.back());
            }
            water.show(true);
            const double onMs = median(on), offMs = median(off);
            std::printf("water on %.1f ms/frame (%.1f fps), off %.1f ms/frame (%.1f fps), ratio %.3f (goal <= 2)\n",
                        onMs, 1000.0 / onMs, offMs, 1000.0 / offMs, median(ratios));
            std::printf("%d x %d, %d triangles, %d alternating pairs of frames, %.1f s\n", width, height,
                        2 * cells * cells, pairs, osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick()));
        }
        view->detachFromView();
    }
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
