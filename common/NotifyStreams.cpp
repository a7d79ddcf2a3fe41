// The toolkit's own notify stream is one std::ostream shared by all threads and must not be
// written from several at once. A program that links this file replaces osg::notify with one
// stream per thread: a line ends at std::endl and reaches the current notify handler in one
// call, so the lines of tin's worker threads, of the pager's threads and of the toolkit's code
// running in them come out whole, one after the other. It is linked into each program (and
// each test) explicitly, as the tavri_notify_streams object library, never through a library.

#include <osg/Notify>

#include <cstdio>
#include <sstream>

namespace osgTAVRI
{

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
