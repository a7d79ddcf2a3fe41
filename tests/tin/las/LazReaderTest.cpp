#include "tests/tin/TinTestSupport.h"
#include "tests/tin/las/ChunkTableEncoder.h"
#include "tests/support/TestSupport.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"
#include "tin/las/LasReader.h"
#include "tin/las/LazReader.h"
#include "tin/las/laz/IntegerDecoder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

using namespace osgTAVRI;

namespace
{
// Each compressed file beside its uncompressed twin. The two files once kept for a "not
// supported" test decode too: simple.laz holds the points of 1.2-with-color-clipped.las,
// which lacks the last record.
struct Pair
{
    const char* laz;
    const char* twin;
    bool twinClipped;
};
const Pair pairs[] = {{"laz/point10.laz", "point10.las", false},
                      {"laz/point-color.laz", "point-color.las", false},
                      {"laz/autzen_trim.laz", "autzen_trim.las", false},
                      {"laz/lone-star.laz", "lone-star.las", false},
                      {"laz/1_4_w_evlr.laz", "1_4_w_evlr.las", false},
                      {"laz/append-bug.laz", "append-bug.las", false},
                      {"unsupported/1_4_w_evlr.laz", "1_4_w_evlr.las", false},
                      {"unsupported/simple.laz", "1.2-with-color-clipped.las", true}};

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

// Byte for byte the twin's records, decoded in the caller's thread and on two threads.
TEST_F(LazPairs, DecodeToTheRecordsOfTheirTwins)
{
    for (const Pair& pair : pairs)
    {
        SCOPED_TRACE(pair.laz);
        const std::string laz = tavritest::readFile(folder + pair.laz);
        const std::string twin = recordsOf(tavritest::readFile(folder + pair.twin));
        std::istringstream in(laz);
        const unsigned length = LasHeader::read(in, laz.size(), pair.laz).getRecordLength();
        for (unsigned threads : {1u, 2u})
        {
            std::string decoded;
            EXPECT_NO_THROW(decoded = decodeAll(laz, threads));
            EXPECT_EQ(decoded.size(), twin.size() + (pair.twinClipped ? length : 0));
            decoded.resize(std::min(decoded.size(), twin.size()));
            EXPECT_TRUE(decoded == twin) << threads << " thread(s): " << firstDifference(decoded, twin, length);
        }
    }
}

// Readers of files with different records, at the same time on their own threads with
// three decoding threads each, twice over: the chunk buffers that one reader leaves for the
// next never mix records of two files.
TEST_F(LazPairs, ReadersAtTheSameTimeKeepTheirOwnRecords)
{
    const Pair* chosen[] = {&pairs[2], &pairs[3], &pairs[5], &pairs[3]};
    std::vector<std::string> files, twins;
    for (const Pair* pair : chosen)
    {
        files.push_back(tavritest::readFile(folder + pair->laz));
        twins.push_back(recordsOf(tavritest::readFile(folder + pair->twin)));
    }
    std::vector<int> matches(files.size(), 0);
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < files.size(); ++i)
        readers.emplace_back([&, i] {
            for (int round = 0; round < 2; ++round)
                try
                {
                    matches[i] += decodeAll(files[i], 3) == twins[i];
                }
                catch (const LasError&)
                {
                }
        });
    for (std::thread& reader : readers)
        reader.join();
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(matches[i], 2) << chosen[i]->laz;
}

// Through LasReader, as tin reads: the twin's reference counts and exact coordinate sums.
TEST_F(LazPairs, ReproduceTheReferenceFiguresOfTheirTwins)
{
    const auto refs = tintest::loadLasReference(folder + "reference.json");
    for (const Pair& pair : pairs)
    {
        if (pair.twinClipped)
            continue;
        SCOPED_TRACE(pair.laz);
        const auto ref = std::find_if(refs.begin(), refs.end(),
                                      [&](const tintest::LasReference& r) { return r.file == pair.twin; });
        ASSERT_NE(ref, refs.end());
        std::ifstream stream((folder + pair.laz).c_str(), std::ios::binary);
        LasReader reader(stream, pair.laz);
        reader.setThreads(2);
        long long n = 0, first = 0, sum[3] = {0, 0, 0};
        while (reader.readNextPoint())
        {
            const LasPoint& p = reader.getPoint();
            const double v[3] = {p.getX(), p.getY(), p.getZ()};
            for (int i = 0; i < 3; ++i)
                sum[i] += std::llround((v[i] - ref->offset[i]) / ref->scale[i]);
            first += p.getReturnNumber() == 1;
            ++n;
        }
        EXPECT_EQ(n, ref->pointsInFile);
        EXPECT_EQ(first, ref->firstReturns);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(sum[i], ref->sumRaw[i]) << "axis " << i;
    }
}

namespace
{
// What reading a damaged file gives: the error line, the warning lines and the records.
struct Outcome
{
    std::string error;
    std::vector<std::string> warnings;
    std::string records;
};

Outcome readDamaged(const std::string& bytes, unsigned threads)
{
    Outcome outcome;
    tavritest::NotifyCapture capture(osg::WARN);
    try
    {
        outcome.records = decodeAll(bytes, threads, "cut.laz");
    }
    catch (const LasError& error)
    {
        outcome.error = error.what();
    }
    outcome.warnings = capture.texts(osg::WARN);
    return outcome;
}

void put(std::string& bytes, std::size_t at, std::uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}
} // namespace

// A real file of three chunks, damaged by hand: each damage gives one line naming the file.
// Where only the chunk table is hurt, the chunks are read in sequence and every point
// still comes out right; damage to the points themselves skips the file.
TEST_F(LazPairs, DamageGivesOneLineAndNeverWrongPoints)
{
    const std::string good = tavritest::readFile(folder + "laz/autzen_trim.laz");
    const std::string twin = recordsOf(tavritest::readFile(folder + "autzen_trim.las"));
    std::istringstream in(good);
    const LasHeader header = LasHeader::read(in, good.size(), "autzen_trim.laz");
    const std::size_t data = header.getDataOffset();
    const std::uint64_t table = LasBytes::u64(reinterpret_cast<const unsigned char*>(good.data()) + data);
    ASSERT_LT(table, good.size());

    struct Case
    {
        std::string what;
        std::string bytes;
        std::string line;  // in the error, or else in the one warning
        bool pointsKept;
    };
    std::vector<Case> cases;
    std::string bytes = good;
    put(bytes, data, good.size() + 100, 8);
    cases.push_back({"table offset outside", bytes, "chunk table's offset", true});
    bytes = good;
    put(bytes, data, ~std::uint64_t(0), 8);
    cases.push_back({"table missing", bytes, "chunk table", true});
    cases.push_back({"table cut short", good.substr(0, good.size() - 6), "cut short", true});
    bytes = good;
    put(bytes, std::size_t(table) + 4, 2, 4);
    cases.push_back({"too few chunks listed", bytes, "lists 2 chunks", true});
    bytes = good;
    for (std::size_t i = std::size_t(table) + 8; i < good.size(); ++i)
        bytes[i] = char(~bytes[i]);
    cases.push_back({"table garbled", bytes, "chunk table", true});
    cases.push_back({"truncated chunk", good.substr(0, data + (table - data) / 2), "chunk 2 is damaged", false});
    bytes = good;
    for (std::size_t i = 0; i < 16; ++i)
        bytes[data + (table - data) / 2 + i] ^= char(0x5A);
    cases.push_back({"garbage in a chunk", bytes, "chunk 2 of 3 is damaged", false});
    bytes = good;
    put(bytes, 107, 110001, 4);
    cases.push_back({"more points claimed", bytes, "chunk 3 of 3 is damaged", false});
    bytes = good;
    put(bytes, 107, 109999, 4);
    cases.push_back({"fewer points claimed", bytes, "chunk 3 of 3 is damaged", false});

    for (const Case& c : cases)
        for (unsigned threads : {1u, 2u})
        {
            SCOPED_TRACE(c.what + ", " + std::to_string(threads) + " thread(s)");
            const Outcome outcome = readDamaged(c.bytes, threads);
            if (c.pointsKept)
            {
                EXPECT_EQ(outcome.error, "");
                ASSERT_EQ(outcome.warnings.size(), 1u);
                EXPECT_NE(outcome.warnings[0].find("LasReader: cut.laz: "), std::string::npos) << outcome.warnings[0];
                EXPECT_NE(outcome.warnings[0].find(c.line), std::string::npos) << outcome.warnings[0];
                EXPECT_TRUE(outcome.records == twin);
            }
            else
            {
                EXPECT_EQ(outcome.error.rfind("LasReader: cut.laz: ", 0), 0u) << outcome.error;
                EXPECT_NE(outcome.error.find(c.line), std::string::npos) << outcome.error;
                EXPECT_TRUE(outcome.warnings.empty());
            }
        }
}

// tin itself, on one and on two threads, with its filters and a shard of the tiles: the
// tiles of a LAZ file are, byte for byte, those of its uncompressed twin.
TEST_F(LazPairs, TinBuildsTheTilesOfTheTwin)
{
    const std::vector<std::vector<std::string>> variants = {
        {}, {"--keepClasses", "2", "--thinNth", "3"}, {"--shard", "2/3"}};
    for (const auto& variant : variants)
        for (const char* threads : {"1", "2"})
        {
            std::map<std::string, std::string> tiles[2];
            int i = 0;
            for (const char* file : {"laz/autzen_trim.laz", "autzen_trim.las"})
            {
                tavritest::TempDir out;
                std::vector<std::string> args{"--extents", "636000,848900,637200,849500", "--tileSize", "400",
                                              "--numThreads", threads};
                args.insert(args.end(), variant.begin(), variant.end());
                args.push_back(folder + file);
                const tavritest::RunResult r = tintest::runTin(args, out.path());
                ASSERT_EQ(r.exitCode, 0) << r.err;
                EXPECT_EQ(r.err.find("LasReader"), std::string::npos) << r.err;
                tiles[i++] = tintest::tileContents(out.path());
            }
            SCOPED_TRACE(std::string(threads) + " thread(s), " + std::to_string(variant.size()) + " options");
            EXPECT_GE(tiles[0].size(), 2u);
            EXPECT_TRUE(tiles[0] == tiles[1]);
        }
}

namespace
{
// Where a file's compression record starts its payload, and its chunk table.
struct Layout
{
    std::size_t vlrPayload = 0;
    std::size_t tableAt = 0;
    std::vector<std::uint32_t> sizes;
};

Layout layoutOf(const std::string& file)
{
    using namespace LasBytes;
    const unsigned char* d = reinterpret_cast<const unsigned char*>(file.data());
    std::istringstream in(file);
    const LasHeader header = LasHeader::read(in, file.size(), "layout");
    Layout layout;
    std::size_t at = header.getHeaderSize();
    for (std::uint32_t i = 0; i < header.getVlrCount(); ++i)
    {
        if (u16(d + at + 18) == 22204)
            layout.vlrPayload = at + 54;
        at += 54 + u16(d + at + 20);
    }
    layout.tableAt = std::size_t(u64(d + header.getDataOffset()));
    ArithmeticDecoder dec;
    dec.init(d + layout.tableAt + 8, d + file.size());
    IntegerDecoder ic(32, 2);
    std::uint32_t last = 0;
    for (std::uint32_t i = 0; i < u32(d + layout.tableAt + 4); ++i)
        layout.sizes.push_back(last = std::uint32_t(ic.decompress(dec, std::int32_t(last), 1)));
    return layout;
}

// The file with chunks of varying size: its table rewritten to list `counts` too.
std::string withVariableChunks(const std::string& file, const std::vector<std::uint32_t>& counts)
{
    const Layout layout = layoutOf(file);
    std::string bytes = file.substr(0, layout.tableAt) + lazt::encodeChunkTable(layout.sizes, counts);
    put(bytes, layout.vlrPayload + 12, 0xFFFFFFFFu, 4);
    return bytes;
}
} // namespace

// Tables written here, as a writer with chunks of varying size would: the table coder gives
// back the real file's own table, and variable chunks decode to the twin, also point-wise
// and layered without a table; counts that disagree with the header give one line.
TEST_F(LazPairs, ChunksOfVaryingSizeFollowTheirTable)
{
    const std::string autzen = tavritest::readFile(folder + "laz/autzen_trim.laz");
    const Layout layout = layoutOf(autzen);
    ASSERT_EQ(layout.sizes.size(), 3u);
    const std::string table = lazt::encodeChunkTable(layout.sizes, {});
    EXPECT_TRUE(autzen.compare(layout.tableAt, table.size(), table) == 0);

    const std::string twin = recordsOf(tavritest::readFile(folder + "autzen_trim.las"));
    for (unsigned threads : {1u, 2u})
        EXPECT_TRUE(decodeAll(withVariableChunks(autzen, {50000, 50000, 10000}), threads) == twin);
    const Outcome wrong = readDamaged(withVariableChunks(autzen, {50000, 50000, 9999}), 1);
    EXPECT_EQ(wrong.error, "LasReader: cut.laz: the chunk table's chunks hold 109999 points, the header says "
                           "110000, and chunks of varying size cannot be found without it");

    const std::string layered = tavritest::readFile(folder + "laz/append-bug.laz");
    const std::string layeredTwin = recordsOf(tavritest::readFile(folder + "append-bug.las"));
    std::string variable = withVariableChunks(layered, {37805});
    EXPECT_TRUE(decodeAll(variable, 2) == layeredTwin);
    // Without its table a layered chunk still tells its own count.
    std::istringstream in(variable);
    put(variable, LasHeader::read(in, variable.size(), "v").getDataOffset(), ~std::uint64_t(0), 8);
    const Outcome untabled = readDamaged(variable, 1);
    EXPECT_EQ(untabled.error, "");
    EXPECT_EQ(untabled.warnings.size(), 1u);
    EXPECT_TRUE(untabled.records == layeredTwin);
}

// What is not decoded is refused when the file is opened, in one line that names the file
// and says what it holds: items of an old writer (version 1), an unchunked compressor, wave
// packets of a 1.4 format, items that do not make up the point format.
TEST_F(LazPairs, WhatIsNotDecodedIsNamedInOneLine)
{
    const std::string file = tavritest::readFile(folder + "laz/autzen_trim.laz");
    const std::size_t vlr = layoutOf(file).vlrPayload;
    struct Case
    {
        std::size_t at;
        std::uint64_t value;
        int size;
        std::string line;
    };
    const std::string holds = "holds compressor 2 (point-wise, chunked) with items point version ";
    const Case cases[] = {
        {vlr + 34 + 4, 1, 2, holds + "1, GPS time version 2, RGB version 2; point version 1 is not decoded"},
        {vlr, 1, 2, "holds compressor 1 (point-wise) with items point version 2, GPS time version 2, RGB version 2; "
                    "only the chunked compressors 2 and 3 are decoded"},
        {vlr + 34 + 6, 13, 2, holds + "2, wave packet (1.4) version 2, RGB version 2; wave packet (1.4) version 2 "
                              "is not decoded"},
        {vlr + 34 + 12, 0, 2, holds + "2, GPS time version 2, extra bytes version 2, which do not make up "
                              "point format 3"}};
    for (const Case& c : cases)
    {
        std::string bytes = file;
        put(bytes, c.at, c.value, c.size);
        std::istringstream in(bytes);
        try
        {
            LasReader reader(in, "old.laz");
            ADD_FAILURE() << c.line;
        }
        catch (const LasError& error)
        {
            EXPECT_EQ(std::string(error.what()), "LasReader: old.laz: " + c.line);
        }
    }
}
