#pragma once

#include "plugins/zip/ZipArchive.h"

#include <osgDB/Callbacks>

#include <string>

namespace osgTAVRI
{

// Lets the reader of a model inside an archive find and read the images it references in the
// same archive: names are looked up beside the model first, then from the archive's top,
// then by file name alone. Names not in the archive go to the toolkit as usual.
class ZipEntryCallback : public osgDB::FindFileCallback, public osgDB::ReadFileCallback
{
public:
    ZipEntryCallback(ZipArchive* archive, const std::string& modelFolder, const std::string& archiveName);

    std::string findDataFile(const std::string& filename, const osgDB::Options* options,
                             osgDB::CaseSensitivity caseSensitivity) override;
    osgDB::ReaderWriter::ReadResult readImage(const std::string& filename, const osgDB::Options* options) override;

    int resolve(const std::string& filename) const;

protected:
    ~ZipEntryCallback() override = default;

    osg::ref_ptr<ZipArchive> archive;
    std::string modelFolder;
    std::string archiveName;
};

} // namespace osgTAVRI
