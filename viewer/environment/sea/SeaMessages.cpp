#include "viewer/environment/sea/SeaMessages.h"

#include <osg/Notify>

#include <mutex>
#include <set>

namespace osgTAVRI
{

namespace
{
thread_local SeaMessages::Collector* collector = nullptr;

const std::string prefix = "SEA: ";
}

void SeaMessages::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static SeaMessages handler;
        Sea::MessageChannel::SetHandler(&handler);
    });
}

void SeaMessages::Write(const char* line, bool alert)
{
    // An alert repeats a line already written.
    if (alert)
        return;
    if (collector)
        collector->lines.emplace_back(line);
    else
        report(line);
}

void SeaMessages::report(const std::string& line)
{
    if (line.compare(0, prefix.size() + 6, prefix + "(INFO)") == 0)
    {
        OSG_INFO << line << std::endl;
        return;
    }
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.insert(line).second)
        OSG_WARN << line << std::endl;
}

SeaMessages::Collector::Collector() : previous(collector) { collector = this; }

SeaMessages::Collector::~Collector() { collector = previous; }

std::string SeaMessages::Collector::joined() const
{
    std::string text;
    for (const std::string& line : lines)
    {
        const std::string words = line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : line;
        if (!text.empty())
            text += text.back() == ':' ? " " : "; ";
        text += words;
    }
    return text;
}

void SeaMessages::Collector::report() const
{
    for (const std::string& line : lines)
        SeaMessages::report(line);
}

} // namespace osgTAVRI
