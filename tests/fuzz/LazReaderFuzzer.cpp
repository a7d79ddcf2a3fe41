#include "tests/fuzz/FuzzSupport.h"

#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"
#include "tin/las/LasReader.h"

#include <cstdlib>
#include <sstream>

using namespace osgTAVRI;

namespace
{
// Points read from one input at most: a chunk's decoding is the same for its first points
// as for the rest, and claims of billions of points must not slow the target down.
const std::uint64_t maxPoints = 16;

void put(std::string& bytes, std::size_t at, std::uint64_t value, int size)
{
    for (int i = 0; i < size && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
} // namespace

const std::size_t tavrifuzz::maxInputLength = 0;

// The small real LAZ files whole, and each also claiming only a few points (its chunk then
// ends early, which the reader must notice) and cut inside its first chunk.
void tavrifuzz::writeSeeds(Seeds& seeds)
{
    for (const std::string& path : Seeds::sharedFiles("las", {".laz"}))
    {
        const std::string file = Seeds::readFile(path);
        if (file.size() > 20000)
            continue;
        const std::string name = path.substr(path.find_last_of('/') + 1);
        seeds.add("whole-" + name, file);
        std::istringstream in(file);
        try
        {
            const LasHeader header = LasHeader::read(in, file.size(), path);
            std::string few = file;
            if (header.getVersionMinor() >= 4 && header.getHeaderSize() >= LasHeader::size14)
                put(few, 247, 24, 8);
            else
                put(few, 107, 24, 4);
            seeds.add("few-" + name, few);
            seeds.add("cut-" + name, file.substr(0, header.getDataOffset() + 400));
        }
        catch (const LasError&)
        {
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    try
    {
        LasReader reader(in, "fuzz.laz");
        std::uint64_t count = 0;
        while (count < maxPoints && reader.readNextPoint())
            ++count;
        // Never more points than the header claims.
        if (count > reader.getHeader().getPointCount())
            std::abort();
    }
    catch (const LasError&)
    {
    }
    return 0;
}
