#include "viewer/scene/BackgroundBuild.h"

#include <osg/Notify>

#include <chrono>
#include <exception>

namespace osgTAVRI
{

BackgroundBuild::~BackgroundBuild()
{
    if (result.valid())
        result.wait();
}

void BackgroundBuild::start(Job job)
{
    if (result.valid())
        result.wait();
    result = std::async(std::launch::async, std::move(job));
}

bool BackgroundBuild::take(osg::ref_ptr<osg::Node>& node, bool wait)
{
    if (!result.valid())
        return false;
    if (!wait && result.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    try
    {
        node = result.get();
    }
    catch (const std::exception& e)
    {
        // A part that could not be built is left out; the viewer goes on without it.
        OSG_WARN << "Could not build part of the scene: " << e.what() << std::endl;
        node = nullptr;
    }
    return true;
}

} // namespace osgTAVRI
