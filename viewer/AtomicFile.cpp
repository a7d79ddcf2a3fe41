#include "viewer/AtomicFile.h"

#include <cerrno>
#include <vector>

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

mode_t newFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
} // namespace

bool AtomicFile::write(const std::string& path, const std::string& contents)
{
    mode_t mode = newFileMode();
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0)
    {
        if (!S_ISREG(existing.st_mode) || access(path.c_str(), W_OK) != 0)
            return false;
        mode = existing.st_mode & 07777;
    }

    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    const std::string tempPath(name.data());

    bool ok = writeAll(fd, contents) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok)
        ok = rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok)
    {
        unlink(tempPath.c_str());
        return false;
    }
    return true;
}

} // namespace osgTAVRI
