#include "viewer/ScreenshotWriter.h"

#include <osgDB/FileUtils>

namespace osgTAVRI
{

ScreenshotWriter::ScreenshotWriter(const std::string& prefix) : WriteToFile(prefix, "jpg", SEQUENTIAL_NUMBER) {}

void ScreenshotWriter::operator()(const osg::Image& image, const unsigned int context_id)
{
    if (_contextSaveCounter.size() <= context_id)
        _contextSaveCounter.resize(context_id + 1, 0);
    while (osgDB::fileExists(nextFileName(context_id)))
        ++_contextSaveCounter[context_id];
    WriteToFile::operator()(image, context_id);
}

std::string ScreenshotWriter::nextFileName(unsigned int context_id) const
{
    return _filename + "_" + std::to_string(context_id) + "_" + std::to_string(_contextSaveCounter[context_id]) +
           "." + _extension;
}

} // namespace osgTAVRI
