#include "viewer/recording/RecordingFolder.h"

#include "viewer/StatePaths.h"

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>

#include <ctime>

#include <sys/stat.h>

namespace osgTAVRI
{

std::string recordingFolder()
{
    return StatePaths::recordingsFolder();
}

std::string newRecordingPath()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
    const std::string stem = recordingFolder() + "/" + stamp;
    std::string path = stem + ".path";
    for (int n = 2; osgDB::fileExists(path); ++n)
        path = stem + "_" + std::to_string(n) + ".path";
    return path;
}

std::string newestRecording()
{
    std::string newest;
    struct timespec newestTime = {0, 0};
    for (const std::string& name : osgDB::getDirectoryContents(recordingFolder()))
    {
        const std::string path = recordingFolder() + "/" + name;
        struct stat info;
        if (osgDB::getLowerCaseFileExtension(name) != "path" || name[0] == '.' || stat(path.c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        const struct timespec& time = info.st_mtim;
        // Two files of the same moment: the later name, which is the later recording.
        if (newest.empty() || time.tv_sec > newestTime.tv_sec ||
            (time.tv_sec == newestTime.tv_sec &&
             (time.tv_nsec > newestTime.tv_nsec || (time.tv_nsec == newestTime.tv_nsec && path > newest))))
        {
            newest = path;
            newestTime = time;
        }
    }
    return newest;
}

} // namespace osgTAVRI
