#include "common/AtomicFile.h"

#include "common/TemporaryFiles.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>
#include <streambuf>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace osgTAVRI
{

namespace
{
bool writeAll(int fd, const char* data, size_t left)
{
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

// Collects a serialiser's many small writes and hands them to the descriptor in large
// blocks, so that a file never has to sit whole in memory beside what it is made from.
class DescriptorBuffer : public std::streambuf
{
public:
    explicit DescriptorBuffer(int descriptor) : fd(descriptor), buffer(size_t(1) << 20)
    {
        setp(buffer.data(), buffer.data() + buffer.size());
    }

    // True when every byte so far reached the descriptor.
    bool finish() { return drain(); }

protected:
    int_type overflow(int_type c) override
    {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof()))
        {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override
    {
        // Scene writers put most values one number at a time: copies of a constant size
        // compile to a plain move instead of a call.
        if (count == 4 && epptr() - pptr() >= 4)
        {
            std::memcpy(pptr(), data, 4);
            pbump(4);
            return 4;
        }
        if (count > epptr() - pptr())
        {
            if (!drain())
                return 0;
            // As large as the whole buffer: straight through.
            if (count >= epptr() - pptr())
            {
                failed = !writeAll(fd, data, size_t(count));
                return failed ? 0 : count;
            }
        }
        std::memcpy(pptr(), data, size_t(count));
        pbump(int(count));
        return count;
    }

    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain()
    {
        const size_t bytes = size_t(pptr() - pbase());
        if (!failed && bytes > 0 && !writeAll(fd, pbase(), bytes))
            failed = true;
        setp(buffer.data(), buffer.data() + buffer.size());
        return !failed;
    }

    int fd;
    std::vector<char> buffer;
    bool failed = false;
};

// The bytes that `fill` writes to the descriptor replace `path` as a whole, or nothing changes.
template <typename Fill>
bool replaceWith(const std::string& path, Fill fill)
{
    struct stat existing;
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing && (!S_ISREG(existing.st_mode) || ::access(path.c_str(), W_OK) != 0))
        return false;

    std::string tempPath;
    int fd = TemporaryFiles::create(AtomicFile::temporaryPrefix(path), ".part", tempPath);
    if (fd < 0)
        return false;

    bool ok = fill(fd);
    if (ok && replacing)
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && TemporaryFiles::commit(tempPath, path);
    if (!ok)
        TemporaryFiles::discard(tempPath);
    return ok;
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
    return replaceWith(path, [&contents](int fd) { return writeAll(fd, contents.data(), contents.size()); });
}

bool AtomicFile::writeStream(const std::string& path, const std::function<bool(std::ostream&)>& fill)
{
    return replaceWith(path, [&fill](int fd) {
        DescriptorBuffer buffer(fd);
        std::ostream out(&buffer);
        const bool written = fill(out);
        return buffer.finish() && written && !out.bad();
    });
}

} // namespace osgTAVRI
