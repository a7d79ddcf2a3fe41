#include "viewer/platform/PluginPath.h"

#include "common/ProgramFolder.h"

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>

#include <cstdlib>
#include <string>

namespace osgTAVRI
{

namespace
{

// The program's folder, else the folder of the name it was started by.
std::string pluginFolder(const char* argv0)
{
    const std::string folder = programFolder();
    if (!folder.empty() || !argv0)
        return folder;
    char* resolved = realpath(argv0, nullptr);
    if (!resolved)
        return osgDB::getFilePath(argv0);
    const std::string fromArgument = osgDB::getFilePath(resolved);
    std::free(resolved);
    return fromArgument;
}

} // namespace

void addProgramFolderToPluginPath(const char* argv0)
{
    const std::string folder = pluginFolder(argv0);
    if (folder.empty())
        return;
    osgDB::FilePathList& paths = osgDB::Registry::instance()->getLibraryFilePathList();
    for (const std::string& p : paths)
        if (p == folder)
            return;
    paths.push_front(folder);
}

} // namespace osgTAVRI
