#pragma once

#include <OpenThreads/Mutex>
#include <osgDB/Callbacks>

#include <set>
#include <string>

namespace osgTAVRI
{

// Stands between the database pager and a file of a paged database that cannot be read
// (missing, damaged, on a server that does not answer). The file is named in one warning
// line, once, and the pager gets the PagedLOD's own coarse child in its place: the patch
// stays at its coarser level and is not asked for again every frame. Reads that are not
// the pager's pass through unchanged.
class PagedFileGuard : public osgDB::ReadFileCallback
{
public:
    osgDB::ReaderWriter::ReadResult readNode(const std::string& fileName, const osgDB::Options* options) override;

    // Writes the line for `fileName` unless it was written before. Any thread.
    void report(const std::string& fileName);

    // The guard that the registry uses, installed on first use.
    static PagedFileGuard* install();

protected:
    ~PagedFileGuard() override = default;

private:
    OpenThreads::Mutex mutex;
    std::set<std::string> reported;
};

} // namespace osgTAVRI
