#pragma once

// Frame times of the real viewer with a feature on against off, in the same run. Frames with
// and without alternate one by one, so that the load of a shared machine falls on both alike;
// the ratio is the median of the ratios of neighbouring frames, the frame times are medians.
#include <osg/Timer>
#include <osgViewer/Viewer>

#include <algorithm>
#include <functional>
#include <vector>

namespace tavribench
{

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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

} // namespace tavribench
