#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include "tin/las/LasError.h"
#include "tin/las/LasReader.h"
#include "tin/las/ReturnFilter.h"
#include "tin/las/ThinFilter.h"

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

using namespace osgTAVRI;

namespace
{
std::string makeFile(const std::vector<tintest::SynthPoint>& points, const LasWriter::Settings& s)
{
    std::stringstream out;
    LasWriter writer(out, s);
    for (const auto& p : points)
        writer.addPoint(p.x, p.y, p.z, p.ret, p.returns);
    writer.finish();
    return out.str();
}

std::vector<tintest::SynthPoint> samplePoints(unsigned maxReturn)
{
    std::vector<tintest::SynthPoint> points;
    for (int i = 0; i < 50; ++i)
    {
        const unsigned returns = 1 + i % maxReturn;
        points.push_back({500000.0 + i * 1.25, 6400000.0 - i * 0.5, -3.0 + i * 0.01,
                          1 + (i / 2) % returns, returns});
    }
    return points;
}

// Reads every point; expects the file to be accepted.
std::vector<LasPoint> readAll(const std::string& bytes, const LasFilterList& filters = {})
{
    std::istringstream in(bytes);
    LasReader reader(in, "mem.las");
    reader.setFilters(filters);
    std::vector<LasPoint> points;
    while (reader.readNextPoint())
        points.push_back(reader.getPoint());
    return points;
}

std::string refusal(const std::string& bytes, const std::string& name = "bad.las")
{
    std::istringstream in(bytes);
    try
    {
        LasReader reader(in, name);
        while (reader.readNextPoint())
        {
        }
    }
    catch (const LasError& error)
    {
        return error.what();
    }
    return "";
}
} // namespace

// Every version with every point format it may hold (6 to 10 need LAS 1.4), with and without extra bytes and a gap
// before the points: coordinates, return bits and counts survive a round trip.
TEST(LasReader, ReadsEveryVersionAndPointFormat)
{
    for (unsigned minor = 0; minor <= 4; ++minor)
        for (unsigned format = 0; format <= (minor == 4 ? 10u : 5u); ++format)
            for (unsigned extra : {0u, 7u})
            {
                SCOPED_TRACE("LAS 1." + std::to_string(minor) + " format " + std::to_string(format) +
                             " extra " + std::to_string(extra));
                LasWriter::Settings s;
                s.versionMinor = minor;
                s.pointFormat = format;
                s.extraBytes = extra;
                s.gapBytes = extra ? 2 : 0;
                s.offset[0] = 500000.0;
                s.offset[1] = 6400000.0;
                const unsigned maxReturn = format >= 6 ? 15 : 7;
                const auto expected = samplePoints(maxReturn);
                const std::string bytes = makeFile(expected, s);

                std::istringstream in(bytes);
                LasReader reader(in, "mem.las");
                EXPECT_EQ(reader.getHeader().getPointCount(), expected.size());
                EXPECT_EQ(reader.getHeader().getRecordLength(),
                          LasHeader::standardRecordLength(format) + extra);
                std::size_t n = 0;
                while (reader.readNextPoint())
                {
                    ASSERT_LT(n, expected.size());
                    const LasPoint& p = reader.getPoint();
                    EXPECT_NEAR(p.getX(), expected[n].x, 1e-6);
                    EXPECT_NEAR(p.getY(), expected[n].y, 1e-6);
                    EXPECT_NEAR(p.getZ(), expected[n].z, 1e-6);
                    EXPECT_EQ(p.getReturnNumber(), expected[n].ret);
                    EXPECT_EQ(p.getNumberOfReturns(), expected[n].returns);
                    ++n;
                }
                EXPECT_EQ(n, expected.size());
            }
}

TEST(LasReader, UsesThe64BitCountOfLas14)
{
    LasWriter::Settings s;
    s.versionMinor = 4;
    s.pointFormat = 6;
    std::string bytes = makeFile(samplePoints(3), s);
    ASSERT_EQ(bytes[107] | bytes[108] | bytes[109] | bytes[110], 0); // legacy count left at 0
    EXPECT_EQ(readAll(bytes).size(), 50u);
}

TEST(LasReader, ReturnAndThinFiltersRunInOrder)
{
    std::vector<tintest::SynthPoint> points;
    for (int i = 0; i < 20; ++i)
        points.push_back({double(i), 0.0, 0.0, unsigned(1 + i % 2), 2u});
    const std::string bytes = makeFile(points, LasWriter::Settings());

    auto firsts = readAll(bytes, {std::make_shared<ReturnFilter>(std::vector<std::uint16_t>{1}, false)});
    ASSERT_EQ(firsts.size(), 10u);
    for (const auto& p : firsts)
        EXPECT_EQ(p.getReturnNumber(), 1);

    auto lasts = readAll(bytes, {std::make_shared<ReturnFilter>(std::vector<std::uint16_t>{1}, true)});
    ASSERT_EQ(lasts.size(), 10u);
    for (const auto& p : lasts)
        EXPECT_EQ(p.getReturnNumber(), 2);

    // The thin filter counts only first returns (x = 0, 2, 4, ...) and keeps the first
    // of every three of them: x = 0, 6, 12, 18.
    auto thinned = readAll(bytes, {std::make_shared<ReturnFilter>(std::vector<std::uint16_t>{1}, false),
                                   std::make_shared<ThinFilter>(3)});
    ASSERT_EQ(thinned.size(), 4u);
    EXPECT_DOUBLE_EQ(thinned[0].getX(), 0.0);
    EXPECT_DOUBLE_EQ(thinned[1].getX(), 6.0);
    EXPECT_DOUBLE_EQ(thinned[3].getX(), 18.0);

    EXPECT_EQ(readAll(bytes, {std::make_shared<ThinFilter>(0)}).size(), 20u);
    EXPECT_EQ(readAll(bytes, {std::make_shared<ThinFilter>(1)}).size(), 20u);
}

TEST(LasReader, RefusesDamagedHeadersWithOneLineNamingTheFile)
{
    const std::string good = makeFile(samplePoints(3), LasWriter::Settings());
    auto patched = [&](std::size_t at, std::initializer_list<unsigned char> bytes) {
        std::string copy = good;
        std::size_t i = at;
        for (unsigned char b : bytes)
            copy[i++] = char(b);
        return copy;
    };
    struct Case
    {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"empty file", "", "no LASF signature"},
        {"bad signature", patched(0, {'L', 'A', 'S', 'X'}), "no LASF signature"},
        {"short header", good.substr(0, 100), "header truncated"},
        {"offset beyond file", patched(96, {0xFF, 0xFF, 0xFF, 0x7F}), "beyond the end of the file"},
        {"offset inside header", patched(96, {10, 0, 0, 0}), "inside the header"},
        {"count too large", patched(107, {0xFF, 0xFF, 0xFF, 0xFF}), "complete records are present"},
        {"truncated record", good.substr(0, good.size() - 5), "complete records are present"},
        {"record too short", patched(105, {10, 0}), "shorter than"},
        {"unknown format", patched(104, {11}), "unknown point format"},
        {"vlr count garbage", patched(100, {0x99, 0x99, 0xB9, 0x3F}), "variable length records"},
        {"compressed without its record", patched(104, {0x81}), "the compression record is missing"},
        {"zero scale", patched(131, {0, 0, 0, 0, 0, 0, 0, 0}), "invalid scale"},
        {"version 2.0", patched(24, {2, 0}), "unsupported LAS version"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string message = refusal(c.bytes, "dir/bad.las");
        EXPECT_NE(message.find("LasReader: dir/bad.las: "), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
}

// Whatever a header byte holds, the reader either refuses the file or yields no more
// records than the file holds; under the sanitizer build this also proves it never
// reads out of bounds or allocates from the header's counts.
TEST(LasReader, SurvivesCorruptedHeaderBytes)
{
    LasWriter::Settings s;
    s.versionMinor = 4;
    s.pointFormat = 7;
    const std::string good = makeFile(samplePoints(3), s);
    std::mt19937 random(7);
    for (std::size_t at = 0; at < LasHeader::size14; ++at)
        for (unsigned value : {0x00u, 0xFFu, 0x80u, unsigned(random() & 0xFF)})
        {
            std::string bytes = good;
            bytes[at] = char(value);
            std::istringstream in(bytes);
            try
            {
                LasReader reader(in, "fuzz.las");
                std::size_t n = 0;
                while (reader.readNextPoint())
                    ++n;
                EXPECT_LE(n * reader.getHeader().getRecordLength(), bytes.size()) << "byte " << at;
            }
            catch (const LasError&)
            {
            }
        }
}

class LasReferenceFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TAVRI_REQUIRE_SHARED_DATA();
        folder = tavritest::sharedData() + "/las/";
        refs = tintest::loadLasReference(folder + "reference.json");
        ASSERT_GE(refs.size(), 29u);
    }
    std::string folder;
    std::vector<tintest::LasReference> refs;
};

// Counts, first returns and exact integer coordinate sums of every readable file;
// damaged files (a count larger than the data) are refused.
TEST_F(LasReferenceFiles, MatchReferenceFigures)
{
    for (const auto& ref : refs)
    {
        SCOPED_TRACE(ref.file);
        std::ifstream stream((folder + ref.file).c_str(), std::ios::binary);
        ASSERT_TRUE(stream.good());
        // Compressed files are checked against their uncompressed twins by LazReaderTest.
        if (ref.compressed)
            continue;
        if (ref.claimedPoints > ref.pointsInFile)
        {
            // Refused for what it is: a count larger than the data, not any other fault.
            try
            {
                LasReader reader(stream, ref.file);
                ADD_FAILURE() << "a file with missing records was accepted";
            }
            catch (const LasError& error)
            {
                const std::string text = error.what();
                EXPECT_NE(text.find("LasReader: " + ref.file + ": "), std::string::npos) << text;
                EXPECT_NE(text.find("header claims " + std::to_string(ref.claimedPoints) + " points but only"),
                          std::string::npos)
                    << text;
            }
            continue;
        }
        LasReader reader(stream, ref.file);
        EXPECT_EQ(reader.getHeader().getPointCount(), std::uint64_t(ref.pointsInFile));
        long long n = 0, first = 0, sum[3] = {0, 0, 0};
        while (reader.readNextPoint())
        {
            const LasPoint& p = reader.getPoint();
            const double v[3] = {p.getX(), p.getY(), p.getZ()};
            for (int i = 0; i < 3; ++i)
                sum[i] += std::llround((v[i] - ref.offset[i]) / ref.scale[i]);
            first += p.getReturnNumber() == 1;
            ++n;
        }
        EXPECT_EQ(n, ref.pointsInFile);
        EXPECT_EQ(first, ref.firstReturns);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(sum[i], ref.sumRaw[i]) << "axis " << i;
    }
}

TEST_F(LasReferenceFiles, DamagedFileGivesEveryProblemInOneLine)
{
    std::ifstream garbage((folder + "garbage_nVariableLength.las").c_str(), std::ios::binary);
    try
    {
        LasReader reader(garbage, "garbage_nVariableLength.las");
        ADD_FAILURE() << "garbage file accepted";
    }
    catch (const LasError& error)
    {
        // Every problem in one line: the VLR count and the missing last record.
        const std::string text = error.what();
        EXPECT_NE(text.find("1069128089 variable length records"), std::string::npos) << text;
        EXPECT_NE(text.find("header claims 719 points but only 718"), std::string::npos) << text;
    }
}
