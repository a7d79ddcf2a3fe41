#include "viewer/platform/PluginPath.h"

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>

#include <climits>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace osgTAVRI
{

namespace
{

std::string programFolder(const char* argv0)
{
    // The executable itself, wherever it was started from and however it was named.
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n > 0)
        return osgDB::getFilePath(std::string(buffer, static_cast<std::size_t>(n)));
    if (!argv0)
        return std::string();
    char* resolved = realpath(argv0, nullptr);
    if (!resolved)
        return osgDB::getFilePath(argv0);
    const std::string folder = osgDB::getFilePath(resolved);
    std::free(resolved);
    return folder;
}

} // namespace

void addProgramFolderToPluginPath(const char* argv0)
{
    const std::string folder = programFolder(argv0);
    if (folder.empty())
        return;
    osgDB::FilePathList& paths = osgDB::Registry::instance()->getLibraryFilePathList();
    for (const std::string& p : paths)
        if (p == folder)
            return;
    paths.push_front(folder);
}

} // namespace osgTAVRI
