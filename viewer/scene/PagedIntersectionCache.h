#pragma once

#include <osgUtil/IntersectionVisitor>

#include <list>
#include <map>
#include <set>
#include <string>

namespace osgTAVRI
{

// Gives intersections the finest ground of a paged database where the pager has not loaded
// it (yet): the files that a PagedLOD names are read here, synchronously, and the most
// recently used ones kept, so that following the terrain frame after frame reads each file
// once. A file that cannot be read is named once and not tried again.
class PagedIntersectionCache : public osgUtil::IntersectionVisitor::ReadCallback
{
public:
    explicit PagedIntersectionCache(unsigned maxFiles = 48);

    osg::ref_ptr<osg::Node> readNodeFile(const std::string& filename) override;

    std::size_t getNumCached() const { return nodes.size(); }
    unsigned getNumReads() const { return reads; }

    // The one the viewer's intersections share.
    static PagedIntersectionCache* instance();

protected:
    ~PagedIntersectionCache() override = default;

private:
    unsigned limit;
    unsigned reads = 0;
    std::list<std::string> recent; // most recent first
    std::map<std::string, std::pair<osg::ref_ptr<osg::Node>, std::list<std::string>::iterator>> nodes;
    std::set<std::string> failed;
};

} // namespace osgTAVRI
