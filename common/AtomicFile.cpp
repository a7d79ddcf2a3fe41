#include "common/AtomicFile.h"

#include "common/TemporaryFiles.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <cerrno>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
bool writeAll(int fd, const std::string& contents)
{
    const char* data = contents.data();
    size_t left = contents.size();
    while (left > 0)
    {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

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

std::string AtomicFile::temporaryPrefix(const std::string& path)
{
    const std::string folder = osgDB::getFilePath(path);
    const std::string name = "." + osgDB::getSimpleFileName(path) + ".";
    return folder.empty() ? name : folder + "/" + name;
}

bool AtomicFile::write(const std::string& path, const std::string& contents)
{
    struct stat existing;
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing && (!S_ISREG(existing.st_mode) || ::access(path.c_str(), W_OK) != 0))
        return false;

    std::string tempPath;
    int fd = TemporaryFiles::create(temporaryPrefix(path), ".part", tempPath);
    if (fd < 0)
        return false;

    bool ok = writeAll(fd, contents);
    if (ok && replacing)
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && TemporaryFiles::commit(tempPath, path);
    if (!ok)
        TemporaryFiles::discard(tempPath);
    return ok;
}

bool AtomicFile::writeNode(const osg::Node& node, const std::string& path)
{
    return writeWithPlugin(path, [&node](osgDB::ReaderWriter& writer, std::ostream& out, const osgDB::Options* options) {
        return writer.writeNode(node, out, options);
    });
}

bool AtomicFile::writeImage(const osg::Image& image, const std::string& path)
{
    return writeWithPlugin(path, [&image](osgDB::ReaderWriter& writer, std::ostream& out, const osgDB::Options* options) {
        return writer.writeImage(image, out, options);
    });
}

} // namespace osgTAVRI
