#include "common/AtomicFile.h"

#include "common/TemporaryFiles.h"

#include <cerrno>

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

} // namespace

std::string AtomicFile::temporaryPrefix(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return "." + path + ".";
    return path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".";
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

} // namespace osgTAVRI
