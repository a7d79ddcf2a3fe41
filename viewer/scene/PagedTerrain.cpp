#include "viewer/scene/PagedTerrain.h"

#include "viewer/scene/PagedFileGuard.h"

#include <osg/NodeVisitor>
#include <osg/Notify>
#include <osg/PagedLOD>
#include <osgDB/DatabasePager>
#include <osgDB/FileCache>
#include <osgDB/Registry>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace osgTAVRI
{

namespace PagedTerrain
{

namespace
{
// The largest average tile size that a root below the scene names, in bytes.
class RootDescriptionVisitor : public osg::NodeVisitor
{
public:
    RootDescriptionVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

    void apply(osg::PagedLOD& lod) override
    {
        ++roots;
        const std::string key = "average tile bytes ";
        for (const std::string& description : lod.getDescriptions())
        {
            const std::size_t at = description.find(key);
            if (at != std::string::npos)
                tileBytes = std::max(tileBytes, std::strtod(description.c_str() + at + key.size(), nullptr));
        }
        // The coarse child is embedded; what lies below it is the pager's.
        if (lod.getNumChildren() > 0)
            lod.getChild(0)->accept(*this);
    }

    unsigned roots = 0;
    double tileBytes = 0.0;
};
} // namespace

unsigned pagedNodeBudget(osg::Node* scene, unsigned memoryMB)
{
    RootDescriptionVisitor visitor;
    if (scene)
        scene->accept(visitor);
    const double fileBytes = visitor.tileBytes > 0.0 ? visitor.tileBytes : 2.0 * 1024 * 1024;
    const double budget = double(memoryMB) * 1024 * 1024 / (fileBytes * memoryPerFileByte);
    return unsigned(std::min(std::max(budget, 64.0), 1.0e6));
}

std::string fileCacheFolder()
{
    if (const char* configured = std::getenv("OSG_FILE_CACHE"))
        return configured;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"))
        if (*xdg)
            return std::string(xdg) + "/TAVRIview";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/.cache/TAVRIview";
}

void setupReading()
{
    PagedFileGuard::install();
    osgDB::Registry* registry = osgDB::Registry::instance();
    if (!registry->getFileCache())
        registry->setFileCache(new osgDB::FileCache(fileCacheFolder()));
}

void boundPager(osgViewer::Viewer& viewer, osg::Node* scene, unsigned memoryMB)
{
    if (osgDB::DatabasePager* pager = viewer.getDatabasePager())
        pager->setTargetMaximumNumberOfPageLOD(pagedNodeBudget(scene, memoryMB));
}

} // namespace PagedTerrain

} // namespace osgTAVRI
