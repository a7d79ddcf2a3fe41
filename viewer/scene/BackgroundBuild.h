#pragma once

#include <osg/Node>
#include <osg/ref_ptr>

#include <functional>
#include <future>

namespace osgTAVRI
{

// Builds one part of the scene on a thread of its own while the frames go on. The part is
// taken on the main thread between frames and only then added to the graph: the graph may be
// culled and drawn while the job runs, so the job must not touch it.
class BackgroundBuild
{
public:
    using Job = std::function<osg::ref_ptr<osg::Node>()>;

    BackgroundBuild() = default;
    // Waits for a job still running: what it holds is not the caller's to free under it.
    ~BackgroundBuild();
    BackgroundBuild(const BackgroundBuild&) = delete;
    BackgroundBuild& operator=(const BackgroundBuild&) = delete;

    // Starts `job`; a build that is still pending is waited for and its part dropped.
    void start(Job job);
    // Started and its part not yet taken.
    bool isPending() const { return result.valid(); }
    // True once, when the job has finished (at once, or after waiting for it when `wait`), with
    // its part in `node` (null when it built nothing or failed with one line).
    bool take(osg::ref_ptr<osg::Node>& node, bool wait = false);

private:
    std::future<osg::ref_ptr<osg::Node>> result;
};

} // namespace osgTAVRI
