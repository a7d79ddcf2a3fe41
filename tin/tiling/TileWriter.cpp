#include "tin/tiling/TileWriter.h"

#include "common/AtomicSceneFile.h"

#include <osg/Notify>

namespace osgTAVRI
{

bool writeTile(const osg::Node& node, const std::string& fileName)
{
    if (AtomicSceneFile::writeNode(node, fileName))
        return true;
    OSG_WARN << "Could not write tile \"" << fileName << "\"" << std::endl;
    return false;
}

} // namespace osgTAVRI
