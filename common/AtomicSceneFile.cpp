#include "common/AtomicSceneFile.h"

#include "common/AtomicFile.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <sstream>

namespace osgTAVRI
{

namespace
{
// Serialises with the writer plugin of the path's extension into memory, so that only
// complete bytes ever reach the atomic write.
template <typename Serialise>
bool writeWithPlugin(const std::string& path, Serialise serialise)
{
    const std::string ext = osgDB::getLowerCaseFileExtension(path);
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension(ext);
    if (!writer)
        return false;
    std::ostringstream bytes(std::ios::out | std::ios::binary);
    if (!serialise(*writer, bytes, osgDB::Registry::instance()->getOptions()).success())
        return false;
    return AtomicFile::write(path, bytes.str());
}
} // namespace

bool AtomicSceneFile::writeNode(const osg::Node& node, const std::string& path)
{
    return writeWithPlugin(path, [&node](osgDB::ReaderWriter& writer, std::ostream& out, const osgDB::Options* options) {
        return writer.writeNode(node, out, options);
    });
}

bool AtomicSceneFile::writeImage(const osg::Image& image, const std::string& path)
{
    return writeWithPlugin(path, [&image](osgDB::ReaderWriter& writer, std::ostream& out, const osgDB::Options* options) {
        return writer.writeImage(image, out, options);
    });
}

} // namespace osgTAVRI
