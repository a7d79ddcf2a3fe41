#include "plugins/zip/ZipEntryCallback.h"

#include <osg/Image>
#include <osg/Notify>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include <new>
#include <sstream>

namespace osgTAVRI
{

ZipEntryCallback::ZipEntryCallback(ZipArchive* zipArchive, const std::string& folder, const std::string& name)
    : archive(zipArchive), modelFolder(folder), archiveName(name)
{
}

int ZipEntryCallback::resolve(const std::string& filename) const
{
    if (filename.empty() || osgDB::isAbsolutePath(filename) || filename.find("://") != std::string::npos)
        return -1;
    int index = -1;
    if (!modelFolder.empty())
        index = archive->findEntry(modelFolder + "/" + filename);
    if (index < 0)
        index = archive->findEntry(filename);
    if (index < 0)
    {
        // A model made elsewhere may name its textures with a folder the archive does not keep.
        const std::string simple = osgDB::convertToLowerCase(osgDB::getSimpleFileName(filename));
        const std::vector<std::string>& names = archive->getEntryNames();
        for (std::size_t i = 0; i < names.size() && index < 0; ++i)
            if (!archive->isDirectory(i) && osgDB::convertToLowerCase(osgDB::getSimpleFileName(names[i])) == simple)
                index = static_cast<int>(i);
    }
    if (index >= 0 && archive->isDirectory(static_cast<std::size_t>(index)))
        return -1;
    return index;
}

std::string ZipEntryCallback::findDataFile(const std::string& filename, const osgDB::Options* options,
                                           osgDB::CaseSensitivity caseSensitivity)
{
    // Readers that look a texture up before reading it get back the name, which readImage resolves.
    if (resolve(filename) >= 0)
        return filename;
    return osgDB::FindFileCallback::findDataFile(filename, options, caseSensitivity);
}

osgDB::ReaderWriter::ReadResult ZipEntryCallback::readImage(const std::string& filename,
                                                            const osgDB::Options* options)
{
    const int index = resolve(filename);
    if (index < 0)
        return osgDB::ReadFileCallback::readImage(filename, options);

    const std::string& entry = archive->getEntryNames()[static_cast<std::size_t>(index)];
    osgDB::ReaderWriter* rw =
        osgDB::Registry::instance()->getReaderWriterForExtension(osgDB::getLowerCaseFileExtension(entry));
    if (!rw)
        return osgDB::ReaderWriter::ReadResult(osgDB::ReaderWriter::ReadResult::FILE_NOT_HANDLED);

    std::string bytes, error;
    try
    {
        if (archive->readEntry(static_cast<std::size_t>(index), bytes, error))
        {
            std::istringstream in(bytes);
            osgDB::ReaderWriter::ReadResult result = rw->readImage(in, options);
            if (result.validImage())
                result.getImage()->setFileName(filename);
            return result;
        }
    }
    catch (const std::bad_alloc&)
    {
        error = entry + ": out of memory";
    }
    OSG_WARN << "zip: " << archiveName << ": " << error << std::endl;
    return osgDB::ReaderWriter::ReadResult(osgDB::ReaderWriter::ReadResult::ERROR_IN_READING_FILE);
}

} // namespace osgTAVRI
