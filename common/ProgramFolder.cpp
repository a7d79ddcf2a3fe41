#include "common/ProgramFolder.h"

#include <climits>

#include <unistd.h>

namespace osgTAVRI
{

std::string programFolder()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return std::string();
    const std::string program(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

} // namespace osgTAVRI
