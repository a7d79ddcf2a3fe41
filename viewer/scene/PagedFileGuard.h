#pragma once

#include <OpenThreads/Mutex>
#include <osgDB/Callbacks>

#include <map>
#include <set>
#include <string>

namespace osgTAVRI
{

// Stands between the database pager and a file of a paged database that cannot be read
// (missing, damaged, on a server that does not answer). The file is named in one warning
// line, once, and the pager gets the PagedLOD's own coarse child in its place: the patch
// stays at its coarser level and is not asked for again every frame. A file on a server that
// does not answer is not handed to the network reader at all (which would write its own
// lines for every try): the pager's reads of it stay coarse, and any other read fails quietly
// for its caller to report in its one line. Other reads pass through unchanged.
class PagedFileGuard : public osgDB::ReadFileCallback
{
public:
    osgDB::ReaderWriter::ReadResult readNode(const std::string& fileName, const osgDB::Options* options) override;

    // Writes the line for `fileName` unless it was written before. Any thread.
    void report(const std::string& fileName);

    // False when `fileName` names a server that refuses or does not answer a connection
    // within two seconds; the answer is kept for ten seconds. Any thread.
    bool serverAnswers(const std::string& fileName);

    // The guard that the registry uses, installed on first use.
    static PagedFileGuard* install();

protected:
    ~PagedFileGuard() override = default;

private:
    OpenThreads::Mutex mutex;
    std::set<std::string> reported;
    std::map<std::string, std::pair<bool, double>> servers; // answers, when asked
};

} // namespace osgTAVRI
