#include "tin/SerialNotifyHandler.h"

#include <cstdio>
#include <sstream>

namespace osgTAVRI
{

SerialNotifyHandler::SerialNotifyHandler(osg::NotifyHandler* nextHandler) : next(nextHandler) {}

void SerialNotifyHandler::notify(osg::NotifySeverity severity, const char* message)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (next.valid())
        next->notify(severity, message);
    else
        std::fputs(message, severity <= osg::WARN ? stderr : stdout);
    // Lines reach a pipe or a cluster job's log as they are written, not when a buffer fills.
    std::fflush(stdout);
    std::fflush(stderr);
}

SerialNotifyHandler::Scope::Scope() : previous(osg::getNotifyHandler())
{
    osg::setNotifyHandler(new SerialNotifyHandler(previous.get()));
}

SerialNotifyHandler::Scope::~Scope() { osg::setNotifyHandler(previous.get()); }

namespace
{
// Collects one line and hands it to the current handler when the line ends (sync).
class LineBuffer : public std::stringbuf
{
public:
    osg::NotifySeverity severity = osg::NOTICE;

protected:
    int sync() override
    {
        const std::string text = str();
        str(std::string());
        if (text.empty())
            return 0;
        if (osg::NotifyHandler* handler = osg::getNotifyHandler())
            handler->notify(severity, text.c_str());
        else
            std::fputs(text.c_str(), severity <= osg::WARN ? stderr : stdout);
        return 0;
    }
};

struct ThreadStreams
{
    LineBuffer buffer;
    std::ostream line{&buffer};
    std::ostream null{nullptr}; // no buffer: everything written to it is dropped
};

// Set once a thread's streams are destroyed; lines written later, by static destructors at
// the very end, go to a stream of last resort.
thread_local bool streamsGone = false;

struct ThreadStreamsOwner
{
    ThreadStreams streams;
    ~ThreadStreamsOwner() { streamsGone = true; }
};

ThreadStreams& lastResort()
{
    static ThreadStreams* streams = new ThreadStreams;
    return *streams;
}

ThreadStreams& threadStreams()
{
    if (streamsGone)
        return lastResort();
    thread_local ThreadStreamsOwner owner;
    return owner.streams;
}
} // namespace

} // namespace osgTAVRI

// Replaces the toolkit's shared notify stream for the whole program (see the header): the
// toolkit's libraries reach osg::notify through the dynamic linker, which binds them to this
// definition in the program.
std::ostream& osg::notify(const osg::NotifySeverity severity)
{
    osgTAVRI::ThreadStreams& streams = osgTAVRI::threadStreams();
    if (!osg::isNotifyEnabled(severity))
        return streams.null;
    streams.buffer.severity = severity;
    return streams.line;
}
