#include "viewer/recording/RecordingFolder.h"

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>

#include <algorithm>
#include <ctime>

namespace osgTAVRI
{

std::string recordingFolder()
{
    return "../Content/Paths";
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
    for (const std::string& name : osgDB::getDirectoryContents(recordingFolder()))
        if (osgDB::getLowerCaseFileExtension(name) == "path" && name[0] != '.' && name > newest)
            newest = name;
    return newest.empty() ? newest : recordingFolder() + "/" + newest;
}

} // namespace osgTAVRI
