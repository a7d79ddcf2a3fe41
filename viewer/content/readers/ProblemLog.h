#pragma once

#include <cstddef>
#include <string>

namespace osgTAVRI
{

// Collects what is wrong with one content file (or folder) and reports it as one warning
// line naming the first problem and how many followed, so that a damaged file is announced
// clearly but can never flood the console.
class ProblemLog
{
public:
    explicit ProblemLog(const std::string& subject);
    ~ProblemLog();
    ProblemLog(const ProblemLog&) = delete;
    ProblemLog& operator=(const ProblemLog&) = delete;

    void add(std::size_t line, const std::string& what);
    void add(const std::string& what);

    std::size_t count() const { return problems; }
    // "<subject>: line 3: <first problem>; 2 more problems", empty when there was none.
    std::string text() const;
    // Writes text() as a warning, once; the destructor does it for a log not reported yet.
    void report();

private:
    std::string subject;
    std::string first;
    std::size_t problems = 0;
    bool reported = false;
    static constexpr std::size_t maxTextLength = 200;
};

} // namespace osgTAVRI
