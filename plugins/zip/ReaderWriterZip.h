#pragma once

#include <osgDB/ReaderWriter>

#include <string>

namespace osgTAVRI
{

class ZipArchive;

// Reads the model held in a (possibly password-protected) zip archive, entirely in memory.
// The model is the archive's only model, else the one named like the archive, else the first
// model in archive order. The password is the "ZipPlugin" entry of the authentication map.
class ReaderWriterZip : public osgDB::ReaderWriter
{
public:
    ReaderWriterZip();

    const char* className() const override { return "ZIP archive reader"; }

    ReadResult readNode(const std::string& fileName, const Options* options) const override;
    ReadResult readNode(std::istream& fin, const Options* options) const override;

    // The entry chosen as the model of `archive` (see the class comment); -1 if it holds none.
    static int chooseModel(const ZipArchive& archive, const std::string& archiveName);

protected:
    ReadResult readArchive(std::string bytes, const std::string& archiveName, const Options* options) const;
};

} // namespace osgTAVRI
