#include "tests/fuzz/ZipSeeds.h"

#include "plugins/zip/ReaderWriterZip.h"

#include <osg/Group>
#include <osg/Image>
#include <osgDB/Registry>

#include <sstream>

using namespace osgTAVRI;

namespace
{

using osgDB::ReaderWriter;

// Stands in for the toolkit's model readers, which are not under test here: it reads lines
// "image NAME" and asks for each image the way those readers do, first finding, then reading
// it through the callbacks that the zip plugin puts into the options.
class StandInModelReader : public osgDB::ReaderWriter
{
public:
    StandInModelReader()
    {
        for (const char* ext : {"osg", "osgt", "ive", "3ds", "dxf", "obj"})
            supportsExtension(ext, "stand-in model");
    }

    // The toolkit learns what a reader does by calling it by file name.
    ReadResult readNode(const std::string&, const Options*) const override { return ReadResult::FILE_NOT_HANDLED; }

    ReadResult readNode(std::istream& in, const Options* options) const override
    {
        osg::ref_ptr<osg::Group> group = new osg::Group;
        std::string line;
        while (std::getline(in, line))
        {
            // Names of the machine's own files are left alone: the archive is what is tested.
            if (line.compare(0, 6, "image ") != 0 || line.size() == 6 || line[6] == '/')
                continue;
            std::string name = line.substr(6);
            if (options && options->getFindFileCallback())
            {
                const std::string found =
                    options->getFindFileCallback()->findDataFile(name, options, osgDB::CASE_SENSITIVE);
                if (!found.empty())
                    name = found;
            }
            if (options && options->getReadFileCallback())
            {
                ReadResult image = options->getReadFileCallback()->readImage(name, options);
                if (image.validImage())
                    group->addChild(new osg::Group);
            }
        }
        return group.get();
    }
};

// Stands in for the image readers: any bytes at all make a one-pixel image.
class StandInImageReader : public osgDB::ReaderWriter
{
public:
    StandInImageReader()
    {
        for (const char* ext : {"rgb", "rgba", "png", "jpg", "jpeg", "tga", "bmp"})
            supportsExtension(ext, "stand-in image");
    }

    ReadResult readImage(const std::string&, const Options*) const override { return ReadResult::FILE_NOT_HANDLED; }

    ReadResult readImage(std::istream& in, const Options*) const override
    {
        if (in.get() == std::char_traits<char>::eof())
            return ReadResult::ERROR_IN_READING_FILE;
        osg::ref_ptr<osg::Image> image = new osg::Image;
        image->allocateImage(1, 1, 1, GL_RGB, GL_UNSIGNED_BYTE);
        return image.get();
    }
};

struct Reader
{
    Reader()
    {
        osgDB::Registry* registry = osgDB::Registry::instance();
        registry->addReaderWriter(new StandInModelReader);
        registry->addReaderWriter(new StandInImageReader);
        options = new osgDB::Options;
        options->setObjectCacheHint(osgDB::Options::CACHE_NONE);
        osg::ref_ptr<osgDB::AuthenticationMap> map = new osgDB::AuthenticationMap;
        map->addAuthenticationDetails("ZipPlugin", new osgDB::AuthenticationDetails("", tavrifuzz::zipPassword));
        options->setAuthenticationMap(map.get());
        zip = dynamic_cast<ReaderWriterZip*>(registry->getReaderWriterForExtension("zip"));
        if (!zip)
            std::abort();
    }
    osg::ref_ptr<osgDB::Options> options;
    osg::ref_ptr<ReaderWriterZip> zip;
};

} // namespace

const std::size_t tavrifuzz::maxInputLength = 0;

void tavrifuzz::writeSeeds(Seeds& seeds) { writeZipSeeds(seeds); }

// The plugin reads the bytes as a stream, as the registry hands it an archive.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Reader reader;
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    osgDB::ReaderWriter::ReadResult result = reader.zip->readNode(in, reader.options.get());
    // Either a model or a reason, never an empty failure.
    if (!result.validNode() && result.message().empty())
        std::abort();
    return 0;
}
