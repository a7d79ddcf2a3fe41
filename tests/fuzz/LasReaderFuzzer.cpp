#include "tests/fuzz/FuzzSupport.h"

#include "tin/las/ClassFilter.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"
#include "tin/las/LasReader.h"
#include "tin/las/LasWriter.h"
#include "tin/las/ReturnFilter.h"
#include "tin/las/ThinFilter.h"

#include <cstdlib>
#include <memory>
#include <sstream>

using namespace osgTAVRI;

namespace
{

// The return lists that tin's --returns option typically gives.
const std::vector<std::uint16_t> returnLists[3] = {{1}, {1, 2}, {2, 3, 4}};

// The last byte of the input also chooses the filters, as tin's options would: bit 0 a return
// filter, bit 1 last returns only, bits 2-3 the return list or (3) the classes of
// --keepClasses 2,9 instead, bits 4-7 keeping one point in n.
LasFilterList filtersFor(unsigned char choice)
{
    LasFilterList filters;
    const int list = (choice >> 2) & 3;
    if ((choice & 1) && list == 3)
        filters.push_back(std::make_shared<ClassFilter>(std::vector<std::uint8_t>{2, 9}));
    else if (choice & 1)
        filters.push_back(std::make_shared<ReturnFilter>(returnLists[list], (choice & 2) != 0));
    filters.push_back(std::make_shared<ThinFilter>(choice >> 4));
    return filters;
}

void put(std::string& bytes, std::size_t at, std::uint64_t value, int size)
{
    for (int i = 0; i < size && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A real file cut to its header, its records and its first few points, with the counts and
// the pointers past the points made to agree.
bool trimmed(const std::string& path, std::string& bytes)
{
    const std::string file = tavrifuzz::Seeds::readFile(path);
    std::istringstream in(file);
    try
    {
        const LasHeader header = LasHeader::read(in, file.size(), path);
        const std::uint64_t points = std::min<std::uint64_t>(header.getPointCount(), 12);
        const std::uint64_t end = std::uint64_t(header.getDataOffset()) + points * header.getRecordLength();
        if (end > 16384 || end > file.size())
            return false;
        bytes = file.substr(0, end);
        if (header.getVersionMinor() < 4 || bytes.compare(107, 4, std::string(4, '\0')) != 0)
            put(bytes, 107, points, 4);
        if (header.getVersionMinor() >= 3 && header.getHeaderSize() >= LasHeader::size13)
            put(bytes, 227, 0, 8);
        if (header.getVersionMinor() >= 4 && header.getHeaderSize() >= LasHeader::size14)
        {
            put(bytes, 235, 0, 8);
            put(bytes, 243, 0, 4);
            put(bytes, 247, points, 8);
        }
        return true;
    }
    catch (const LasError&)
    {
        return false;
    }
}

} // namespace

const std::size_t tavrifuzz::maxInputLength = 0;

void tavrifuzz::writeSeeds(Seeds& seeds)
{
    const unsigned formats[] = {0, 1, 2, 3, 6, 7, 8, 10};
    for (unsigned minor = 0; minor <= 4; ++minor)
        for (unsigned format : formats)
        {
            if (minor < 4 && format >= 6)
                continue;
            LasWriter::Settings settings;
            settings.versionMinor = minor;
            settings.pointFormat = format;
            settings.extraBytes = format % 3;
            settings.gapBytes = minor == 1 ? 60 : 0;
            std::ostringstream out;
            LasWriter writer(out, settings);
            for (unsigned i = 0; i < 6; ++i)
                writer.addPoint(100.0 + i, 200.0 - i, 3.0 * i, 1 + i % 3, 3, 2 + i % 2);
            writer.finish();
            seeds.add("written-1." + std::to_string(minor) + "-format" + std::to_string(format) + ".las", out.str());
        }
    for (const std::string& path : Seeds::sharedFiles("las", {".las", ".laz"}))
    {
        std::string bytes;
        if (trimmed(path, bytes))
            seeds.add("shared-" + path.substr(path.find_last_of('/') + 1), bytes);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(tavrifuzz::bytesOf(data, size));
    try
    {
        LasReader reader(in, "fuzz.las");
        reader.setFilters(filtersFor(size > 0 ? data[size - 1] : 0));
        std::uint64_t count = 0;
        while (reader.readNextPoint())
            ++count;
        // A file that passed the header checks never yields more points than it holds.
        if (count > reader.getHeader().getPointCount())
            std::abort();
    }
    catch (const LasError&)
    {
    }
    return 0;
}
