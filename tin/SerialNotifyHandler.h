#pragma once

#include <osg/Notify>
#include <osg/ref_ptr>

#include <mutex>

namespace osgTAVRI
{

// Passes every notification line, whole, to the handler that was in place before it, one
// line at a time, whichever thread writes it.
//
// The toolkit's own notify stream is one std::ostream shared by all threads and must not be
// written from several at once. tin therefore provides osg::notify itself (in
// SerialNotifyHandler.cpp) with one stream per thread; a line ends at std::endl and reaches
// the current handler in one call. With this handler installed, the lines of tin, of its
// triangulator and of the toolkit's code running in tin's worker threads come out one after
// the other.
class SerialNotifyHandler : public osg::NotifyHandler
{
public:
    explicit SerialNotifyHandler(osg::NotifyHandler* next);

    void notify(osg::NotifySeverity severity, const char* message) override;

    // Puts a SerialNotifyHandler in front of the current handler while it lives.
    class Scope
    {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        osg::ref_ptr<osg::NotifyHandler> previous;
    };

private:
    std::mutex mutex;
    osg::ref_ptr<osg::NotifyHandler> next;
};

} // namespace osgTAVRI
