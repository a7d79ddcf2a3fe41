#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <random>

using tavritest::RunResult;
using tavritest::TempDir;

namespace
{
std::size_t linesWith(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

osgTAVRI::TinOptions optionsFor(double x0, double y0, double x1, double y1, double size,
                                const std::vector<std::string>& files, unsigned thinNth = 1)
{
    osgTAVRI::TinOptions options;
    options.extent.set(x0, y0, -10000, x1, y1, 10000);
    options.tileSize = size;
    options.files = files;
    options.selection.thinNth = thinNth;
    return options;
}
} // namespace

// One pass over real surveys (two halves of one survey that overlap, a third file inside
// them, a LAZ file, decoded on two threads, and a damaged one) gives, on two threads, the
// tiles that reading each tile by itself gives, byte for byte, also thinned; and the bad
// file is reported once for the run, not once for every tile.
TEST(TinSinglePass, RealSurveysGiveTheTilesOfReadingEachTileAlone)
{
    TAVRI_REQUIRE_SHARED_DATA();
    const std::string folder = tavritest::sharedData() + "/las/";
    const std::vector<std::string> files{folder + "thin-1.las", folder + "unsupported/simple.laz",
                                         folder + "autzen_trim.las", folder + "1.2-with-color-clipped.las",
                                         folder + "thin-2.las"};
    for (unsigned thin : {1u, 3u})
    {
        TempDir program, alone;
        std::vector<std::string> args{"--extents", "635500,848800,639000,853600", "--tileSize", "500",
                                      "--numThreads", "2", "--thinNth", std::to_string(thin)};
        args.insert(args.end(), files.begin(), files.end());
        const RunResult r = tintest::runTin(args, program.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        {
            tavritest::NotifyCapture quiet(osg::WARN);
            tintest::writeTilesOneByOne(optionsFor(635500, 848800, 639000, 853600, 500, files, thin), alone.path());
        }
        const auto expected = tintest::tileContents(alone.path());
        EXPECT_GT(expected.size(), 40u);
        EXPECT_TRUE(tintest::tileContents(program.path()) == expected) << "thinNth " << thin;
        EXPECT_EQ(linesWith(r.err, "simple.laz"), 0u) << r.err;
        EXPECT_EQ(linesWith(r.err, "1.2-with-color-clipped.las: damaged file: header claims 1065 points"), 1u);
    }
}

// Points beyond the memory budget go to a temporary file in several rounds, between and
// within two overlapping files; the tiles still equal those of reading each tile alone,
// and the temporary file is gone afterwards.
TEST(TinSinglePass, SpillingBeyondTheMemoryBudgetKeepsTheTiles)
{
    TempDir in, spilled, alone;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<std::string> files;
    for (const char* name : {"a.las", "b.las"})
    {
        std::vector<tintest::SynthPoint> points;
        const double shift = files.empty() ? 0.0 : 300.0;
        for (int i = 0; i < 150000; ++i)
        {
            const double x = shift + 700.0 * u(random), y = 1000.0 * u(random);
            points.push_back({x, y, 5.0 * std::sin(x / 40.0) + 3.0 * std::cos(y / 30.0), 1u + (i % 4 == 0), 2});
        }
        files.push_back(tintest::writeLas(in.file(name), points));
    }
    std::vector<std::string> args{"--extents", "0,0,1000,1000", "--tileSize", "100", "--numThreads", "2",
                                  "--memoryBudget", "1"};
    args.insert(args.end(), files.begin(), files.end());
    const RunResult r = tintest::runTin(args, spilled.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Points beyond the memory budget of 1 MB went to a temporary file: "), std::string::npos)
        << r.out;
    tintest::writeTilesOneByOne(optionsFor(0, 0, 1000, 1000, 100, files), alone.path());
    const auto expected = tintest::tileContents(alone.path());
    EXPECT_EQ(expected.size(), 100u);
    EXPECT_TRUE(tintest::tileContents(spilled.path()) == expected);
    EXPECT_EQ(tavritest::listDir(spilled.path()).size(), 100u) << "a temporary file was left behind";
}

// A tile of the single pass equals, byte for byte, the tile built from a plain read of the
// same points: from one file that lies wholly in the tile (its points arrive in the room made
// for them and go to the triangulator uncopied), with a second file over the tile's edge
// (the points come in several blocks), thinned, trimmed or not, and spilled beyond a budget.
TEST(TinSinglePass, OneTileEqualsThePlainReadOfItsPoints)
{
    TempDir in;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    auto terrain = [&](double x0, double y0, double size, int count) {
        std::vector<tintest::SynthPoint> points;
        for (int i = 0; i < count; ++i)
        {
            const double x = x0 + size * u(random), y = y0 + size * u(random);
            points.push_back({x, y, 4.0 * std::sin(x / 60.0) * std::cos(y / 45.0), 1u + (i % 5 == 0), 2});
        }
        return points;
    };
    const std::string inside = tintest::writeLas(in.file("inside.las"), terrain(100.0, 100.0, 800.0, 120000));
    const std::string over = tintest::writeLas(in.file("over.las"), terrain(600.0, 600.0, 800.0, 60000));
    struct Case
    {
        std::vector<std::string> files;
        bool noTrim;
        unsigned thin;
        const char* budgetMB;
    };
    const Case cases[] = {{{inside}, true, 1, "8192"},
                          {{inside}, false, 3, "8192"},
                          {{inside, over}, false, 1, "8192"},
                          {{over, inside}, true, 1, "1"}};
    for (const Case& c : cases)
    {
        TempDir program, alone;
        std::vector<std::string> args{"--extents", "0,0,1000,1000", "--tileSize", "1000", "--thinNth",
                                      std::to_string(c.thin), "--memoryBudget", c.budgetMB};
        if (c.noTrim)
            args.push_back("--noTrim");
        args.insert(args.end(), c.files.begin(), c.files.end());
        const RunResult r = tintest::runTin(args, program.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        osgTAVRI::TinOptions options = optionsFor(0, 0, 1000, 1000, 1000, c.files, c.thin);
        options.mesh.noTrim = c.noTrim;
        tintest::writeTilesOneByOne(options, alone.path());
        const auto expected = tintest::tileContents(alone.path());
        ASSERT_EQ(expected.size(), 1u);
        EXPECT_TRUE(tintest::tileContents(program.path()) == expected)
            << c.files.size() << " file(s), thinNth " << c.thin << ", noTrim " << c.noTrim << ", budget "
            << c.budgetMB << " MB";
    }
}
