#include "common/AtomicFile.h"

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <sstream>

#include <fcntl.h>
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

// Creates the temporary file with O_EXCL and mode 0666, so the kernel applies the umask;
// changing the process-wide umask to read it would race with other threads.
int createTemporary(const std::string& prefix, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char suffix[32];
        std::snprintf(suffix, sizeof(suffix), "%08x%04x.part", entropy(), counter++ & 0xFFFFu);
        tempPath = prefix + suffix;
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
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
    int fd = createTemporary(temporaryPrefix(path), tempPath);
    if (fd < 0)
        return false;

    bool ok = writeAll(fd, contents);
    if (ok && replacing)
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok)
    {
        ::unlink(tempPath.c_str());
        return false;
    }
    return true;
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
