#pragma once

#include <osg/Notify>

#include <mutex>

namespace osgTAVRI
{

// The programs' console: notices and information go to standard output, warnings and worse
// to standard error, like the toolkit's own handler does, but one whole line at a time,
// whichever thread writes it, and flushed as it is written. Standard output is
// block-buffered in a file or a pipe, so without the flush a log, or a cluster job's output,
// shows the notices only at exit and out of order with the warnings.
//
// Each program's main installs it with installConsole(). Lines reach it whole because the
// programs also link common/NotifyStreams.cpp (the tavri_notify_streams object library),
// which gives every thread its own notify stream.
class ConsoleNotifyHandler : public osg::NotifyHandler
{
public:
    void notify(osg::NotifySeverity severity, const char* message) override;

protected:
    ~ConsoleNotifyHandler() override = default;

    std::mutex mutex; // one line at a time across both streams
};

// Makes a ConsoleNotifyHandler the toolkit's notify handler.
void installConsole();

} // namespace osgTAVRI
