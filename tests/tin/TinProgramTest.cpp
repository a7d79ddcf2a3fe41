#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include <osg/MatrixTransform>
#include <osgDB/ReadFile>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <pty.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using tavritest::RunResult;
using tavritest::TempDir;

namespace
{
RunResult tin(const std::vector<std::string>& args, const std::string& cwd = "")
{
    return tintest::runTin(args, cwd);
}

std::string writeTerrain(const TempDir& dir, const std::string& name = "terrain.las")
{
    return tintest::writeRollingTerrain(dir.file(name));
}

std::vector<std::string> outputFiles(const std::string& dir) { return tintest::tileFiles(dir); }

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
} // namespace

TEST(TinProgram, ExitCodes)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);

    RunResult r = tin({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("--extents <xMin,yMin,xMax,yMax> --tileSize <s>"), std::string::npos);

    r = tin({"--help"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("255 (-1) when no input file was found"), std::string::npos) << r.out;

    // -1 leaves the process as 255; it comes before the check of unknown options.
    r = tin({"--extents", "0,0,10,10", "--bogus", dir.file("nothing*.las")});
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.err.find("No input files specified"), std::string::npos);

    r = tin({"--bogus", las});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("--bogus"), std::string::npos);

    // The first naming option wins; the later one is left over and refused.
    r = tin({"--namingRowCol", "--namingTruncCoords", las});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("--namingRowCol"), std::string::npos) << r.out;

    for (const char* size : {"0", "-100"})
    {
        r = tin({"--extents", "0,0,10,10", "--tileSize", size, las}, dir.path());
        EXPECT_EQ(r.exitCode, 1) << size;
        EXPECT_NE(r.err.find("Invalid tile size"), std::string::npos) << r.err;
    }
    EXPECT_EQ(tin({"--tileSize", "nan", las}, dir.path()).exitCode, 1);
    r = tin({"--extents", "0,0,1e7,1e7", "--tileSize", "0.01", las}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("more tiles than fit in 32 bits"), std::string::npos) << r.err;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--keepClasses", "2,x"}, {"--keepClasses", "256"}, {"--keepClasses", ""}, {"--shard", "4/3"},
             {"--shard", "0/3"}, {"--shard", "1/3x"}, {"--memoryBudget", "0"}})
    {
        std::vector<std::string> args = bad;
        args.insert(args.end(), {"--extents", "0,0,10,10", las});
        r = tin(args, dir.path());
        EXPECT_EQ(r.exitCode, 1) << bad[0] << " " << bad[1];
        EXPECT_NE(r.err.find("Invalid " + bad[0]), std::string::npos) << r.err;
    }
    EXPECT_TRUE(outputFiles(dir.path()).empty());

    r = tin({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("\n?tin [0-9]+\\.[0-9]+\n"))) << r.out;
}

// Every problem of a command line in one run, one line each, and nothing written.
TEST(TinProgram, ListsEveryProblemOfTheCommandLineAtOnce)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);
    const std::string program = tintest::tinProgram();
    RunResult r = tin({"--extents", "0,0,10,10", "--tileSize", "-5", "--shard", "4/3", "--memoryBudget", "0",
                       "--colour", "rgba", "--keepClasses", "2,x", "--textureResolution", "0",
                       "--pagedDatabase", "sub/t.ive", "--bogus", las},
                      dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("--bogus"), std::string::npos) << r.out;
    const std::vector<std::string> expected{
        program + ": Invalid --keepClasses: \"2,x\", give class numbers from 0 to 255 separated by commas",
        program + ": Invalid --colour: \"rgba\", the only choice is rgb",
        program + ": Invalid --textureResolution: 0, give metres per texel greater than 0",
        program + ": Invalid tile size: -5, it must be greater than 0",
        program + ": Invalid --shard: \"4/3\", give K/N with 1 <= K <= N",
        program + ": Invalid --memoryBudget: 0, give at least 1 MB",
        program + ": --pagedDatabase \"sub/t.ive\": give a file name ending in .ive, without a folder (it is "
                  "written beside the tiles)"};
    std::string lines;
    for (const std::string& line : expected)
        lines += line + "\n";
    EXPECT_EQ(r.err, lines);
    EXPECT_TRUE(tavritest::listDir(dir.path()) == std::vector<std::string>{"terrain.las"});

    // A shard that does not read as K/N is named as given, once.
    r = tin({"--extents", "0,0,10,10", "--shard", "1/3x", las}, dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, program + ": Invalid --shard: \"1/3x\", give K/N with 1 <= K <= N\n");
}

// Input that cannot be opened or read costs that file alone, with one line each, whether it
// is missing, not LAS at all or cut short; with no readable input the run says why it wrote
// nothing.
TEST(TinProgram, SkipsEachUnreadableInputWithOneLine)
{
    TempDir dir, out, none;
    const std::string las = writeTerrain(dir);
    const std::string bytes = tavritest::readFile(las);
    const std::string cut = dir.file("cut.las"), text = dir.file("text.las"), missing = dir.file("missing.las");
    tavritest::writeFile(cut, bytes.substr(0, bytes.size() - 100));
    tavritest::writeFile(text, "not a point cloud\n");

    RunResult r = tin({"--extents", "0,0,2000,1000", "--namingRowCol", missing, text, cut, las}, out.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << r.err;
    const std::string files[] = {missing, text, cut};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(lines[i].rfind("LasReader: " + files[i] + ": ", 0), 0u) << lines[i];
        EXPECT_TRUE(endsWith(lines[i], ", file skipped")) << lines[i];
    }
    EXPECT_EQ(outputFiles(out.path()), (std::vector<std::string>{"0_0.ive", "0_1.ive"}));
    EXPECT_TRUE(endsWith(r.out, "\nTiles written: 2 of 2 (0 without points)\n")) << r.out;

    r = tin({"--extents", "0,0,2000,1000", missing, text, cut}, none.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(outputFiles(none.path()).empty());
    EXPECT_NE(r.out.find("No tile was written: no input touches the extent (3 input file(s), 3 unreadable, "
                         "none of them meets a tile)"),
              std::string::npos)
        << r.out;

    // Named files of which none exists are no input at all.
    r = tin({"--extents", "0,0,2000,1000", missing, dir.file("gone.las")}, none.path());
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.err.find("No input files specified"), std::string::npos) << r.err;
}

TEST(TinProgram, InvalidExtentsAreReportedAndZeroTilesStillReportTime)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);
    const std::string program = tintest::tinProgram();
    RunResult r = tin({"--extents", "5,5,5,10", "--extents", "1,2,3", las}, dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find(program + ": Invalid extents: \"5,5,5,10\"\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(program + ": Invalid extents: \"1,2,3\"\n"), std::string::npos) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nGeneration of 0 TIN tile\\(s\\): [0-9]+\\.[0-9]{2} s\n")))
        << r.out;
}

// Three naming modes, a tile over empty ground that writes no file but its time line,
// and the last valid extent winning.
TEST(TinProgram, NamesTilesAndWritesTimeLines)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);
    RunResult r = tin({"--extents", "0,0,1,1", "--extents", "0,0,2000,1500", "--tileSize", "1000",
                       "--namingRowCol", las},
                      dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Row 1 lies north of the data except for its 5 % margin, whose points are all
    // second returns or first returns... it still gets the margin's first returns.
    for (const char* name : {"0_0", "0_1", "1_0", "1_1"})
        EXPECT_TRUE(std::regex_search(r.out, std::regex(std::string("(^|\n)Generated TIN ") + name +
                                                        ": [0-9]+\\.[0-9]{2} s\n")))
            << name << "\n" << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("Generation of 4 TIN tile\\(s\\): [0-9]+\\.[0-9]{2} s\n")));
    EXPECT_EQ(outputFiles(dir.path()), (std::vector<std::string>{"0_0.ive", "0_1.ive", "1_0.ive", "1_1.ive"}));
    EXPECT_TRUE(endsWith(r.out, "\nTiles written: 4 of 4 (0 without points)\n")) << r.out;

    // Tiles without points write nothing, and the run says so and why.
    TempDir other;
    r = tin({"--extents", "0,2000,2000,3000", "--tileSize", "1000", las}, other.path());
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Generated TIN 2000_0_1000: "), std::string::npos);
    EXPECT_TRUE(outputFiles(other.path()).empty()) << "a tile without points writes no file";
    EXPECT_TRUE(endsWith(r.out, "No tile was written: no input touches the extent (1 input file(s), none of "
                                "them meets a tile)\nTiles written: 0 of 2 (2 without points)\n"))
        << r.out;

    r = tin({"--extents", "0,0,2000,1000", "--tileSize", "1000", "--namingTruncCoords", las}, other.path());
    EXPECT_EQ(outputFiles(other.path()), (std::vector<std::string>{"0_0.ive", "0_1.ive"}));
    TempDir third;
    r = tin({"--extents", "0,0,2000,1000", las}, third.path());
    EXPECT_EQ(outputFiles(third.path()), (std::vector<std::string>{"0_0_1000.ive", "0_1000_1000.ive"}));
}

// The same tiles, byte for byte, from one thread, from three and from "0"; no
// temporary file is left behind.
TEST(TinProgram, OutputIndependentOfThreadCount)
{
    TempDir in;
    const std::string las = writeTerrain(in);
    std::vector<std::string> reference;
    for (const char* threads : {"1", "3", "0"})
    {
        TempDir out;
        RunResult r = tin({"--extents", "0,0,2000,1000", "--tileSize", "500", "--numThreads", threads,
                           "--namingRowCol", las},
                          out.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::vector<std::string> files = tavritest::listDir(out.path());
        ASSERT_EQ(outputFiles(out.path()).size(), 8u) << threads;
        ASSERT_EQ(files.size(), 8u) << "temporary files left behind";
        std::vector<std::string> contents;
        for (const std::string& f : outputFiles(out.path()))
            contents.push_back(tavritest::readFile(out.file(f)));
        if (reference.empty())
            reference = contents;
        else
            EXPECT_TRUE(contents == reference) << threads << " threads wrote different tiles";
    }
}

// A written tile reads back as transform -> geode -> geometry, placed at its centre,
// and with --noTrim it holds more triangles than trimmed.
TEST(TinProgram, WrittenTileReadsBack)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);
    TempDir trimmed, full;
    ASSERT_EQ(tin({"--extents", "0,0,1000,1000", "--namingRowCol", las}, trimmed.path()).exitCode, 0);
    ASSERT_EQ(tin({"--extents", "0,0,1000,1000", "--namingRowCol", "--noTrim", las}, full.path()).exitCode, 0);

    auto triangles = [](const std::string& file, osg::Vec3d& centre) -> unsigned {
        osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(file);
        auto* transform = dynamic_cast<osg::MatrixTransform*>(node.get());
        if (!transform || transform->getNumChildren() != 1 || !transform->getChild(0)->asGeode())
            return 0;
        centre = transform->getMatrix().getTrans();
        osg::Geometry* geometry = transform->getChild(0)->asGeode()->getDrawable(0)->asGeometry();
        return geometry ? geometry->getPrimitiveSet(0)->getNumIndices() / 3 : 0;
    };
    osg::Vec3d centre;
    const unsigned kept = triangles(trimmed.file("0_0.ive"), centre);
    EXPECT_EQ(centre, osg::Vec3d(500, 500, 0));
    const unsigned all = triangles(full.file("0_0.ive"), centre);
    // 100 x 100 points inside, about 2 triangles per point; the margin adds the rest.
    EXPECT_GT(kept, 15000u);
    EXPECT_GT(all, kept);
}

// On a terminal, standard error shows tiles done out of the total, the time so far and
// an estimate of the time left, rewritten in place and cleared at the end.
TEST(TinProgram, ProgressLineOnATerminal)
{
    TempDir dir;
    const std::string las = writeTerrain(dir);
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string program = tintest::tinProgram();
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(slave, 2);
        close(master);
        if (chdir(dir.path().c_str()) != 0)
            _exit(100);
        execl(program.c_str(), program.c_str(), "--extents", "0,0,2000,1000", "--tileSize", "500",
              las.c_str(), static_cast<char*>(nullptr));
        _exit(101);
    }
    close(slave);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(master, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(got));
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::regex_search(text, std::regex("\r0/8 tiles, [0-9.]+ s elapsed, about unknown left")))
        << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("\r8/8 tiles, [0-9.]+ s elapsed, about 0\\.00 s left")))
        << text;
    EXPECT_EQ(text.back(), '\r') << "the line is cleared at the end";

    // Not a terminal: no progress line at all.
    const RunResult r = tin({"--extents", "0,0,2000,1000", "--tileSize", "500", las}, dir.path());
    EXPECT_EQ(r.err.find("tiles,"), std::string::npos);
}

// Names that two tiles would share are refused before any tile is written: coordinates
// truncated across 0 (-0.5 and 0.5 both give 0), and tiles smaller than 1 m.
TEST(TinProgram, RefusesClashingNamesBeforeWritingAnything)
{
    TempDir in, out;
    const std::string las = writeTerrain(in);
    RunResult r = tin({"--extents", "-50,0,150,100", "--tileSize", "100", "--namingTruncCoords", las}, out.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(": Tile names clash: the tiles at row 0, column 0 and at row 0, column 1 would both be "
                         "named \"0_0\""),
              std::string::npos)
        << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    r = tin({"--extents", "0,0,2,1", "--tileSize", "0.5", las}, out.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("would both be named \"0_0_0\""), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Generated TIN"), std::string::npos);
    EXPECT_TRUE(tavritest::listDir(out.path()).empty());
}

// Three shards, run one after the other into one folder, write the tiles of one run byte
// for byte, and each reports its own share.
TEST(TinProgram, ThreeShardsEqualOneRun)
{
    TempDir in, whole, shards;
    const std::string las = writeTerrain(in);
    const std::vector<std::string> args{"--extents", "0,0,2000,1000", "--tileSize", "250", "--numThreads", "2", las};
    ASSERT_EQ(tin(args, whole.path()).exitCode, 0);
    const char* shares[] = {"11 of 11", "11 of 11", "10 of 10"};
    for (int k = 1; k <= 3; ++k)
    {
        std::vector<std::string> shard = args;
        shard.insert(shard.end(), {"--shard", std::to_string(k) + "/3"});
        const RunResult r = tin(shard, shards.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(endsWith(r.out, std::string("Tiles written: ") + shares[k - 1] + " (0 without points)\n")) << r.out;
    }
    const auto expected = tintest::tileContents(whole.path());
    EXPECT_EQ(expected.size(), 32u);
    EXPECT_TRUE(tintest::tileContents(shards.path()) == expected);
}

// SIGINT in the middle of a run leaves the tiles written so far, each complete, and no
// temporary file: neither the points beyond the memory budget nor a tile being written.
TEST(TinProgram, InterruptedRunLeavesOnlyCompleteTiles)
{
    TempDir in, out;
    std::vector<tintest::SynthPoint> points;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < 1200000; ++i)
    {
        const double x = 2000.0 * u(random), y = 1000.0 * u(random);
        points.push_back({x, y, 20.0 + 4.0 * std::sin(x / 70.0) * std::cos(y / 50.0)});
    }
    const std::string las = tintest::writeLas(in.file("dense.las"), points);

    tavritest::Process run;
    run.start({tintest::tinProgram(), "--extents", "0,0,2000,1000", "--tileSize", "125", "--memoryBudget", "1",
               "--numThreads", "2", las},
              out.path());
    bool spilled = false, tileSeen = false;
    for (int i = 0; i < 6000 && !tileSeen && run.running(); ++i)
    {
        for (const std::string& f : tavritest::listDir(out.path()))
        {
            spilled = spilled || (f.compare(0, 5, ".tin-") == 0 && f.find(".points") != std::string::npos);
            tileSeen = tileSeen || (f[0] != '.' && f.find(".ive") != std::string::npos);
        }
        usleep(20000);
    }
    ASSERT_TRUE(tileSeen) << run.errorOutput();
    ASSERT_EQ(kill(run.pid(), SIGINT), 0);
    int code = 0;
    ASSERT_TRUE(run.wait(120.0, code));
    EXPECT_EQ(code, 128 + SIGINT) << run.errorOutput();
    EXPECT_TRUE(spilled) << "the points should have gone to a temporary file";

    const std::vector<std::string> left = tavritest::listDir(out.path());
    EXPECT_LT(left.size(), 128u) << "the run should have been interrupted";
    for (const std::string& f : left)
    {
        ASSERT_TRUE(f[0] != '.' && f.size() > 4 && f.substr(f.size() - 4) == ".ive") << f;
        EXPECT_TRUE(dynamic_cast<osg::MatrixTransform*>(osgDB::readRefNodeFile(out.file(f)).get())) << f;
    }
}

namespace
{
// The heights of the vertices of a tile file.
std::vector<float> tileHeights(const std::string& file)
{
    std::vector<float> heights;
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(file);
    auto* transform = dynamic_cast<osg::MatrixTransform*>(node.get());
    if (!transform || !transform->getChild(0)->asGeode())
        return heights;
    const osg::Geometry* geometry = transform->getChild(0)->asGeode()->getDrawable(0)->asGeometry();
    for (const osg::Vec3& v : *static_cast<const osg::Vec3Array*>(geometry->getVertexArray()))
        heights.push_back(v.z());
    return heights;
}
} // namespace

// --keepClasses 2,9 builds from ground and water of every return: the ground under the
// canopy (second returns) is used, the canopy (vegetation, 5) and the rail (10) are not.
// Without it the first returns are used, as before.
TEST(TinProgram, KeepClassesBuildsFromThoseClassesOfEveryReturn)
{
    TempDir in;
    std::vector<tintest::SynthPoint> points;
    std::size_t groundAndWater = 0, firstReturns = 0;
    for (int y = 1; y < 100; y += 2)
        for (int x = 1; x < 100; x += 2)
        {
            if (x < 40)
            {
                points.push_back({double(x), double(y), 30.0, 1, 2, 5});
                points.push_back({double(x), double(y), 10.0, 2, 2, 2});
            }
            else if (y == 51)
                points.push_back({double(x), double(y), 11.0, 1, 1, 10});
            else
                points.push_back({double(x), double(y), x > 90 ? 0.0 : 10.0, 1, 1, x > 90 ? 9u : 2u});
            groundAndWater += y != 51 || x < 40;
            ++firstReturns;
        }
    const std::string las = tintest::writeLas(in.file("classified.las"), points);
    const std::vector<std::string> args{"--extents", "0,0,100,100", "--tileSize", "100", "--noTrim", "--namingRowCol", las};

    TempDir ground, first;
    std::vector<std::string> withClasses = args;
    withClasses.insert(withClasses.end(), {"--keepClasses", "2,9"});
    ASSERT_EQ(tin(withClasses, ground.path()).exitCode, 0);
    ASSERT_EQ(tin(args, first.path()).exitCode, 0);
    const std::vector<float> groundHeights = tileHeights(ground.file("0_0.ive"));
    const std::vector<float> firstHeights = tileHeights(first.file("0_0.ive"));
    EXPECT_EQ(groundHeights.size(), groundAndWater);
    EXPECT_EQ(*std::max_element(groundHeights.begin(), groundHeights.end()), 10.0f);
    EXPECT_EQ(firstHeights.size(), firstReturns);
    EXPECT_EQ(*std::max_element(firstHeights.begin(), firstHeights.end()), 30.0f);

    // A class the file does not hold: nothing is written, and the run says why.
    TempDir none;
    std::vector<std::string> absent = args;
    absent.insert(absent.end(), {"--keepClasses", "7"});
    const RunResult r = tin(absent, none.path());
    EXPECT_TRUE(endsWith(r.out, "No tile was written: the filters left no points in the tiles: of " +
                                    std::to_string(points.size()) +
                                    " points in the 1 file(s) that touch the extent, 0 passed the filters (class 7) "
                                    "and none lies in a tile\nTiles written: 0 of 1 (1 without points)\n"))
        << r.out;
}
