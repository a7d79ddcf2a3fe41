#include "viewer/scene/PagedIntersectionCache.h"

#include "viewer/scene/PagedFileGuard.h"

#include <osgDB/ReadFile>
#include <osgDB/Registry>

namespace osgTAVRI
{

PagedIntersectionCache::PagedIntersectionCache(unsigned maxFiles) : limit(maxFiles) {}

osg::ref_ptr<osg::Node> PagedIntersectionCache::readNodeFile(const std::string& filename)
{
    auto found = nodes.find(filename);
    if (found != nodes.end())
    {
        recent.splice(recent.begin(), recent, found->second.second);
        return found->second.first;
    }
    if (failed.count(filename))
        return nullptr;

    // Not through the registry's object cache: these copies live only as long as they are here.
    osg::ref_ptr<osgDB::Options> options = osgDB::Registry::instance()->getOptions()
                                               ? osgDB::Registry::instance()->getOptions()->cloneOptions()
                                               : new osgDB::Options;
    options->setObjectCacheHint(osgDB::Options::CACHE_NONE);
    ++reads;
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(filename, options.get());
    if (!node.valid())
    {
        failed.insert(filename);
        PagedFileGuard::install()->report(filename);
        return nullptr;
    }
    recent.push_front(filename);
    nodes[filename] = std::make_pair(node, recent.begin());
    while (nodes.size() > limit)
    {
        nodes.erase(recent.back());
        recent.pop_back();
    }
    return node;
}

PagedIntersectionCache* PagedIntersectionCache::instance()
{
    static osg::ref_ptr<PagedIntersectionCache> cache = new PagedIntersectionCache;
    return cache.get();
}

} // namespace osgTAVRI
