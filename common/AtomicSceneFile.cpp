#include "common/AtomicSceneFile.h"

#include "common/AtomicFile.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <ostream>

namespace osgTAVRI
{

namespace
{
// Serialises with the writer plugin of the path's extension straight into the temporary
// file; only complete bytes are ever renamed into place.
template <typename Serialise>
bool writeWithPlugin(const std::string& path, Serialise serialise)
{
    const std::string ext = osgDB::getLowerCaseFileExtension(path);
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension(ext);
    if (!writer)
        return false;
    return AtomicFile::writeStream(path, [&](std::ostream& out) {
        return serialise(*writer, out, osgDB::Registry::instance()->getOptions()).success();
    });
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
