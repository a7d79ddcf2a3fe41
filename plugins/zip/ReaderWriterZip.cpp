#include "plugins/zip/ReaderWriterZip.h"

#include "plugins/zip/ZipArchive.h"
#include "plugins/zip/ZipEntryCallback.h"

#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>

#include <fstream>
#include <iterator>
#include <new>
#include <sstream>

namespace osgTAVRI
{

namespace
{

std::string passwordFor(const osgDB::Options* options)
{
    const osgDB::AuthenticationMap* map = options ? options->getAuthenticationMap() : nullptr;
    if (!map)
        map = osgDB::Registry::instance()->getAuthenticationMap();
    const osgDB::AuthenticationDetails* details = map ? map->getAuthenticationDetails("ZipPlugin") : nullptr;
    return details ? details->password : std::string();
}

bool isModel(const ZipArchive& archive, std::size_t index)
{
    if (archive.isDirectory(index))
        return false;
    const std::string ext = osgDB::getLowerCaseFileExtension(archive.getEntryNames()[index]);
    // Nested archives are not opened: one level is all a model needs, and it keeps bombs shallow.
    if (ext.empty() || ext == "zip")
        return false;
    osgDB::ReaderWriter* rw = osgDB::Registry::instance()->getReaderWriterForExtension(ext);
    return rw && (rw->supportedFeatures() & osgDB::ReaderWriter::FEATURE_READ_NODE);
}

// The toolkit turns this into the one warning line "Error reading file <archive>: read error (<why>)".
osgDB::ReaderWriter::ReadResult failure(const std::string& archiveName, const std::string& why)
{
    return osgDB::ReaderWriter::ReadResult("zip archive " + osgDB::getSimpleFileName(archiveName) + ": " + why);
}

// Runs a read; running out of memory (a large archive on a small machine) is one more reason
// for an archive to be unreadable, never an exception through the toolkit.
template <class Read>
osgDB::ReaderWriter::ReadResult readWithin(const std::string& archiveName, Read read)
{
    try
    {
        return read();
    }
    catch (const std::bad_alloc&)
    {
        return failure(archiveName, "out of memory");
    }
}

} // namespace

ReaderWriterZip::ReaderWriterZip()
{
    supportsExtension("zip", "Zip archive holding a model and its images (password from \"ZipPlugin\")");
}

int ReaderWriterZip::chooseModel(const ZipArchive& archive, const std::string& archiveName)
{
    std::vector<std::size_t> models;
    for (std::size_t i = 0; i < archive.getEntryNames().size(); ++i)
        if (isModel(archive, i))
            models.push_back(i);
    if (models.empty())
        return -1;
    if (models.size() > 1 && !archiveName.empty())
    {
        const std::string wanted = osgDB::convertToLowerCase(osgDB::getStrippedName(archiveName));
        for (std::size_t i : models)
            if (osgDB::convertToLowerCase(osgDB::getStrippedName(archive.getEntryNames()[i])) == wanted)
                return static_cast<int>(i);
    }
    return static_cast<int>(models.front());
}

osgDB::ReaderWriter::ReadResult ReaderWriterZip::readNode(const std::string& fileName, const Options* options) const
{
    if (!acceptsExtension(osgDB::getLowerCaseFileExtension(fileName)))
        return ReadResult::FILE_NOT_HANDLED;
    const std::string path = osgDB::findDataFile(fileName, options);
    if (path.empty())
        return ReadResult::FILE_NOT_FOUND;
    return readWithin(fileName, [&] {
        std::ifstream in(path.c_str(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            return failure(fileName, "the file cannot be read");
        return readArchive(std::move(bytes), fileName, options);
    });
}

osgDB::ReaderWriter::ReadResult ReaderWriterZip::readNode(std::istream& fin, const Options* options) const
{
    return readWithin("zip stream", [&] {
        std::string bytes((std::istreambuf_iterator<char>(fin)), std::istreambuf_iterator<char>());
        return readArchive(std::move(bytes), std::string(), options);
    });
}

osgDB::ReaderWriter::ReadResult ReaderWriterZip::readArchive(std::string bytes, const std::string& archiveName,
                                                             const Options* options) const
{
    const std::string shownName = archiveName.empty() ? std::string("zip stream") : archiveName;
    std::string error;
    osg::ref_ptr<ZipArchive> archive = ZipArchive::open(std::move(bytes), passwordFor(options), error);
    if (!archive)
        return failure(shownName, error);

    const int index = chooseModel(*archive, archiveName);
    if (index < 0)
        return failure(shownName, "the archive holds no model");
    const std::string& entry = archive->getEntryNames()[static_cast<std::size_t>(index)];

    std::string model;
    if (!archive->readEntry(static_cast<std::size_t>(index), model, error))
        return failure(shownName, error);

    osg::ref_ptr<Options> local = options ? static_cast<Options*>(options->clone(osg::CopyOp::SHALLOW_COPY))
                                          : new Options;
    osg::ref_ptr<ZipEntryCallback> callback = new ZipEntryCallback(archive.get(), osgDB::getFilePath(entry), shownName);
    local->setFindFileCallback(callback.get());
    local->setReadFileCallback(callback.get());
    local->setPluginStringData("filename", entry);

    osgDB::ReaderWriter* rw =
        osgDB::Registry::instance()->getReaderWriterForExtension(osgDB::getLowerCaseFileExtension(entry));
    std::istringstream in(model);
    ReadResult result = rw ? rw->readNode(in, local.get()) : ReadResult(ReadResult::FILE_NOT_HANDLED);
    if (result.validNode())
        return result;
    if (result.status() == ReadResult::NOT_IMPLEMENTED || result.status() == ReadResult::FILE_NOT_HANDLED)
        return failure(shownName, "the reader of " + entry + " cannot read from memory");
    return failure(shownName, entry + " is not a readable model" +
                                  (result.message().empty() ? std::string() : " (" + result.message() + ")"));
}

REGISTER_OSGPLUGIN(zip, ReaderWriterZip)

} // namespace osgTAVRI
