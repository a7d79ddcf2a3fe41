#include "viewer/StatePaths.h"

#include "common/AtomicFile.h"

#include <osgDB/FileUtils>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

namespace osgTAVRI
{
namespace StatePaths
{

namespace
{

const char* const treeTop = "..";
const char* const treeResources = "../Resources";
const char* const ownFolder = "tavriview";

std::string home()
{
    const char* value = std::getenv("HOME");
    if (value && *value)
        return value;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "/";
}

// The XDG rules: a variable that is unset, empty or relative is ignored.
std::string xdgFolder(const char* variable, const std::string& fallback)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return home() + "/" + fallback;
}

// `folder` created with its parents; the path is returned either way, and a write into a
// folder that could not be made reports itself.
std::string made(const std::string& folder)
{
    osgDB::makeDirectory(folder);
    return folder;
}

std::string userFolder(const std::string& base)
{
    return made(base + "/" + ownFolder);
}

// The value of XDG_PICTURES_DIR in user-dirs.dirs: "$HOME/..." or an absolute path, quoted.
std::string picturesFromUserDirs()
{
    std::ifstream file(configHome() + "/user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    std::string line;
    while (std::getline(file, line))
    {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        const std::size_t end = line.find('"', key.size());
        if (end == std::string::npos)
            return std::string();
        const std::string value = line.substr(key.size(), end - key.size());
        if (value.compare(0, 5, "$HOME") == 0)
            return home() + value.substr(5);
        return value.size() > 0 && value[0] == '/' ? value : std::string();
    }
    return std::string();
}

} // namespace

bool isTreeWritable()
{
    return access(treeTop, W_OK) == 0 && access(treeResources, W_OK) == 0;
}

std::string treeConfigurationPath() { return "../Resources/Configuration.xml"; }

std::string demoConfigurationPath() { return "../Resources/Demo.xml"; }

std::string configurationPath()
{
    const std::string tree = treeConfigurationPath();
    if (isTreeWritable())
        return tree;
    const std::string own = userFolder(configHome()) + "/Configuration.xml";
    if (osgDB::fileExists(own) || !osgDB::fileExists(tree))
        return own;
    std::ifstream in(tree, std::ios::binary);
    std::ostringstream seed;
    seed << in.rdbuf();
    return in && AtomicFile::write(own, seed.str()) ? own : tree;
}

std::string screenshotPrefix()
{
    return (isTreeWritable() ? std::string(treeTop) : made(picturesFolder())) + "/TAVRIview";
}

std::string infoPointsStore()
{
    if (isTreeWritable())
        return "../Content/InfoPoints/InfoPoints.ive";
    return userFolder(dataHome()) + "/InfoPoints.ive";
}

std::string recordingsFolder()
{
    if (isTreeWritable())
        return "../Content/Paths";
    return made(userFolder(dataHome()) + "/Paths");
}

std::string configHome() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string dataHome() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string picturesFolder()
{
    const std::string named = picturesFromUserDirs();
    return named.empty() ? home() + "/Pictures" : named;
}

} // namespace StatePaths
} // namespace osgTAVRI
