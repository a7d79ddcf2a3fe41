#include "viewer/scene/PagedFileGuard.h"

#include <OpenThreads/ScopedLock>
#include <osg/Notify>
#include <osg/PagedLOD>
#include <osgDB/Registry>

namespace osgTAVRI
{

osgDB::ReaderWriter::ReadResult PagedFileGuard::readNode(const std::string& fileName, const osgDB::Options* options)
{
    osgDB::ReaderWriter::ReadResult result = osgDB::ReadFileCallback::readNode(fileName, options);
    if (result.validNode() || !options)
        return result;
    osg::ref_ptr<osg::Group> parent;
    if (!options->getParentGroup().lock(parent))
        return result;
    osg::PagedLOD* lod = dynamic_cast<osg::PagedLOD*>(parent.get());
    if (!lod || lod->getNumChildren() == 0)
        return result;
    report(fileName);
    // The coarse child, shared, as the finer one: drawn at every range from now on.
    osg::ref_ptr<osg::Group> standIn = new osg::Group;
    standIn->setName("coarser stand-in for " + fileName);
    standIn->addChild(lod->getChild(0));
    return osgDB::ReaderWriter::ReadResult(standIn.get());
}

void PagedFileGuard::report(const std::string& fileName)
{
    OpenThreads::ScopedLock<OpenThreads::Mutex> lock(mutex);
    if (reported.insert(fileName).second)
        OSG_WARN << "Paged terrain: " << fileName << " cannot be read; its patch stays coarser" << std::endl;
}

PagedFileGuard* PagedFileGuard::install()
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    if (PagedFileGuard* guard = dynamic_cast<PagedFileGuard*>(registry->getReadFileCallback()))
        return guard;
    osg::ref_ptr<PagedFileGuard> guard = new PagedFileGuard;
    registry->setReadFileCallback(guard.get());
    return guard.get();
}

} // namespace osgTAVRI
