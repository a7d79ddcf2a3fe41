#pragma once

// What the benchmarks of the real viewer share: its frame times with a feature on against off,
// in the same run, the installation tree it runs from, and ground to draw. Frames with and
// without alternate one by one, so that the load of a shared machine falls on both alike; the
// ratio is the median of the ratios of neighbouring frames, the frame times are medians.
#include "bench/Median.h"
#include "viewer/TAVRIview.h"

#include <osg/Geode>
#include <osg/Shape>
#include <osg/ShapeDrawable>
#include <osg/Timer>
#include <osgViewer/Viewer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace tavribench
{

inline double frameMs(osgViewer::Viewer& viewer)
{
    const osg::Timer_t start = osg::Timer::instance()->tick();
    viewer.frame();
    return 1000.0 * osg::Timer::instance()->delta_s(start, osg::Timer::instance()->tick());
}

struct Comparison
{
    double onMs;
    double offMs;
    double ratio;
};

// `show(true)` switches the feature on, `show(false)` off; it is left on.
inline Comparison compareFrames(osgViewer::Viewer& viewer, const std::function<void(bool)>& show, int pairs)
{
    std::vector<double> on, off, ratios;
    for (int i = 0; i < pairs; ++i)
    {
        show(true);
        on.push_back(frameMs(viewer));
        show(false);
        off.push_back(frameMs(viewer));
        ratios.push_back(on.back() / off.back());
    }
    show(true);
    return {median(on), median(off), median(ratios)};
}

// Ground of cells x cells squares, `cellSize` on a side, its heights from height(i, j).
inline osg::ref_ptr<osg::Node> makeGround(unsigned int cells, double cellSize,
                                          const std::function<double(unsigned int, unsigned int)>& height)
{
    osg::ref_ptr<osg::HeightField> field = new osg::HeightField;
    field->allocate(cells + 1, cells + 1);
    field->setXInterval(cellSize);
    field->setYInterval(cellSize);
    for (unsigned int j = 0; j <= cells; ++j)
        for (unsigned int i = 0; i <= cells; ++i)
            field->setHeight(i, j, static_cast<float>(height(i, j)));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(new osg::ShapeDrawable(field.get()));
    return geode;
}

// A temporary installation tree, with Bin/ and Resources/, from whose Bin/ a benchmark runs
// the real viewer as the installed program runs. Removed again, and the working folder
// restored, when it goes.
class InstallTree
{
public:
    // Without an X display or a folder, says why on stderr and stays invalid.
    explicit InstallTree(const char* bench)
    {
        if (!std::getenv("DISPLAY"))
        {
            std::fprintf(stderr, "%s: no X display (run it through scripts/run-bench.sh)\n", bench);
            return;
        }
        std::string pattern = std::string("/tmp/") + bench + "-XXXXXX";
        if (!mkdtemp(&pattern[0]))
        {
            std::fprintf(stderr, "%s: cannot create a temporary folder\n", bench);
            return;
        }
        root = pattern;
        std::filesystem::create_directories(root / "Bin");
        std::filesystem::create_directories(root / "Resources");
    }

    ~InstallTree()
    {
        std::error_code ignored;
        if (!previous.empty())
            std::filesystem::current_path(previous, ignored);
        if (!root.empty())
            std::filesystem::remove_all(root, ignored);
    }

    InstallTree(const InstallTree&) = delete;
    InstallTree& operator=(const InstallTree&) = delete;

    bool valid() const { return !root.empty(); }

    // The real viewer, started from Bin/ (where it looks for ../Resources) with one frame
    // drawn and the content and sea it builds in the background added, so that the frames
    // timed are those of the whole scene; single-threaded, so that a frame's time is all of
    // its work.
    osg::ref_ptr<osgTAVRI::TAVRIview> startViewer()
    {
        enterBin();
        osg::ref_ptr<osgTAVRI::TAVRIview> view = new osgTAVRI::TAVRIview;
        view->getViewer().setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
        view->setup();
        view->getViewer().frame();
        view->waitForContent();
        view->getViewer().frame();
        return view;
    }

    // Makes Bin/ the working folder, as the installed program has it.
    void enterBin()
    {
        if (previous.empty())
            previous = std::filesystem::current_path();
        std::filesystem::current_path(root / "Bin");
    }

    std::filesystem::path root;

private:
    std::filesystem::path previous;
};

} // namespace tavribench
