#include "TileWriter.h"

#include "NotifyLock.h"

#include <OpenThreads/ScopedLock>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <osgDB/WriteFile>

#include <cstdio>
#include <unistd.h>

namespace osgTAVRI
{

bool writeTile(const osg::Node& node, const std::string& fileName)
{
    // The temporary name keeps the extension so that the same writer plug-in is chosen;
    // the process id keeps two runs in one folder apart.
    const std::string ext = osgDB::getFileExtensionIncludingDot(fileName);
    const std::string temp = osgDB::getNameLessExtension(fileName) + ".tmp" +
                             std::to_string(long(::getpid())) + ext;
    if (!osgDB::writeNodeFile(node, temp, osgDB::Registry::instance()->getOptions()))
    {
        std::remove(temp.c_str());
        OpenThreads::ScopedLock<OpenThreads::Mutex> guard(notifyMutex());
        osg::notify(osg::WARN) << "Could not write tile \"" << fileName << "\"" << std::endl;
        return false;
    }
    if (std::rename(temp.c_str(), fileName.c_str()) != 0)
    {
        std::remove(temp.c_str());
        OpenThreads::ScopedLock<OpenThreads::Mutex> guard(notifyMutex());
        osg::notify(osg::WARN) << "Could not write tile \"" << fileName << "\"" << std::endl;
        return false;
    }
    return true;
}

} // namespace osgTAVRI
