#include "tests/fuzz/ZipSeeds.h"

#include "plugins/zip/ZipArchive.h"

#include <cstdlib>

using namespace osgTAVRI;

const std::size_t tavrifuzz::maxInputLength = 0;

void tavrifuzz::writeSeeds(Seeds& seeds) { writeZipSeeds(seeds); }

// Opens the bytes as an archive and reads every entry, as the plugin does with a model and
// its images.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    osg::ref_ptr<ZipArchive> archive = ZipArchive::open(tavrifuzz::bytesOf(data, size), tavrifuzz::zipPassword, error);
    if (!archive)
        return 0;
    const std::vector<std::string>& names = archive->getEntryNames();
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        // Every name is found again, if not at its own index then at an earlier namesake.
        const int found = archive->findEntry(names[i]);
        if (found < 0 || static_cast<std::size_t>(found) > i)
            std::abort();
        if (archive->isDirectory(i))
            continue;
        std::string bytes;
        if (!archive->readEntry(i, bytes, error) && !bytes.empty())
            std::abort();
    }
    return 0;
}
