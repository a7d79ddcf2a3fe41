#pragma once

#include <osg/Notify>

#include <mutex>

namespace osgTAVRI
{

// The program's console: notices and information go to standard output, warnings and worse
// to standard error, like the toolkit's own handler does, but every line is flushed as it is
// written. Standard output is block-buffered in a file or a pipe, so without this a log shows
// the notices only at exit, and out of order with the warnings.
class ConsoleNotifyHandler : public osg::NotifyHandler
{
public:
    void notify(osg::NotifySeverity severity, const char* message) override;

protected:
    ~ConsoleNotifyHandler() override = default;

    std::mutex mutex; // one line at a time across both streams
};

} // namespace osgTAVRI
