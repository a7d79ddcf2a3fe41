#include "viewer/content/readers/ProblemLog.h"

#include <osg/Notify>

namespace osgTAVRI
{

ProblemLog::ProblemLog(const std::string& what) : subject(what) {}

ProblemLog::~ProblemLog() { report(); }

void ProblemLog::add(std::size_t line, const std::string& what) { add("line " + std::to_string(line) + ": " + what); }

void ProblemLog::add(const std::string& what)
{
    if (problems++ > 0)
        return;
    // Texts from the file may be long or hold control characters; the line stays one line.
    first = what.substr(0, maxTextLength);
    for (char& c : first)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
}

std::string ProblemLog::text() const
{
    if (problems == 0)
        return std::string();
    std::string line = subject + ": " + first;
    if (problems == 2)
        line += "; 1 more problem";
    else if (problems > 2)
        line += "; " + std::to_string(problems - 1) + " more problems";
    return line;
}

void ProblemLog::report()
{
    if (reported || problems == 0)
        return;
    OSG_WARN << text() << std::endl;
    reported = true;
}

} // namespace osgTAVRI
