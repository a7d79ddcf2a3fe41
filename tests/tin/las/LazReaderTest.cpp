#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"
#include "tin/las/LasReader.h"
#include "tin/las/LazReader.h"

#include <cmath>
#include <fstream>
#include <sstream>

using namespace osgTAVRI;

namespace
{
// Each compressed file beside its uncompressed twin.
const std::pair<const char*, const char*> pairs[] = {
    {"laz/point10.laz", "point10.las"},         {"laz/point-color.laz", "point-color.las"},
    {"laz/autzen_trim.laz", "autzen_trim.las"}, {"laz/lone-star.laz", "lone-star.las"},
    {"laz/1_4_w_evlr.laz", "1_4_w_evlr.las"},   {"laz/append-bug.laz", "append-bug.las"}};

// Every record of a compressed file, decoded with `threads` threads.
std::string decodeAll(const std::string& bytes, unsigned threads, const std::string& name = "mem.laz")
{
    std::istringstream in(bytes);
    const LasHeader header = LasHeader::read(in, bytes.size(), name);
    LazReader laz(in, name, header);
    laz.setThreads(threads);
    std::string all;
    std::vector<unsigned char> records;
    while (laz.read(records, 5000) > 0)
        all.append(records.begin(), records.end());
    return all;
}

// The point records of an uncompressed file.
std::string recordsOf(const std::string& bytes)
{
    std::istringstream in(bytes);
    const LasHeader header = LasHeader::read(in, bytes.size(), "twin");
    return bytes.substr(header.getDataOffset(), header.getPointCount() * header.getRecordLength());
}

// The first record that differs, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b, unsigned recordLength)
{
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return "record " + std::to_string(i / recordLength) + " byte " + std::to_string(i % recordLength);
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}
} // namespace

class LazPairs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TAVRI_REQUIRE_SHARED_DATA();
        folder = tavritest::sharedData() + "/las/";
    }
    std::string folder;
};

TEST_F(LazPairs, DecodeToTheRecordsOfTheirTwins)
{
    for (const auto& pair : pairs)
    {
        SCOPED_TRACE(pair.first);
        const std::string laz = tavritest::readFile(folder + pair.first);
        const std::string twin = recordsOf(tavritest::readFile(folder + pair.second));
        std::istringstream in(laz);
        const unsigned length = LasHeader::read(in, laz.size(), pair.first).getRecordLength();
        for (unsigned threads : {1u, 2u})
        {
            std::string decoded;
            EXPECT_NO_THROW(decoded = decodeAll(laz, threads));
            EXPECT_TRUE(decoded == twin) << threads << " thread(s): " << firstDifference(decoded, twin, length);
        }
    }
}
