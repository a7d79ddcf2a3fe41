#include "common/ConsoleNotifyHandler.h"

#include <cstdio>

namespace osgTAVRI
{

void ConsoleNotifyHandler::notify(osg::NotifySeverity severity, const char* message)
{
    std::FILE* stream = severity <= osg::WARN ? stderr : stdout;
    std::lock_guard<std::mutex> lock(mutex);
    std::fputs(message, stream);
    std::fflush(stream);
}

void installConsole() { osg::setNotifyHandler(new ConsoleNotifyHandler); }

} // namespace osgTAVRI
