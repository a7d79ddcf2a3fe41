#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include <osg/MatrixTransform>
#include <osgDB/ReadFile>

#include <cmath>
#include <fcntl.h>
#include <pty.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

using tavritest::RunResult;
using tavritest::TempDir;

namespace
{
RunResult tin(const std::vector<std::string>& args, const std::string& cwd = "")
{
    std::vector<std::string> argv{tintest::tinProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    return tavritest::run(argv, cwd, 300.0);
}

// Rolling terrain over 0..2000 x 0..1000 every 10 m, with a second return under each
// fifth point; the rows from y = 1000 up hold nothing.
std::string writeTerrain(const TempDir& dir, const std::string& name = "terrain.las")
{
    std::vector<tintest::SynthPoint> points;
    for (int y = 0; y < 1000; y += 10)
        for (int x = 0; x < 2000; x += 10)
        {
            const double z = 20.0 + 5.0 * std::sin(x / 150.0) + 3.0 * std::cos(y / 90.0);
            const bool tree = (x / 10 + y / 10) % 5 == 0;
            points.push_back({x + 0.3, y + 0.7, z + (tree ? 8.0 : 0.0), 1u, tree ? 2u : 1u});
            if (tree)
                points.push_back({x + 0.3, y + 0.7, z, 2u, 2u});
        }
    return tintest::writeLas(dir.file(name), points);
}

std::vector<std::string> outputFiles(const std::string& dir)
{
    std::vector<std::string> files = tavritest::listDir(dir);
    std::vector<std::string> tiles;
    for (const std::string& f : files)
        if (f.size() > 4 && f.compare(f.size() - 4, 4, ".ive") == 0)
            tiles.push_back(f);
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}
} // namespace

TEST(TinProgram, exitCodes)
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
    EXPECT_TRUE(outputFiles(dir.path()).empty());
}

TEST(TinProgram, invalidExtentsAreReportedAndZeroTilesStillReportTime)
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
TEST(TinProgram, namesTilesAndWritesTimeLines)
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

    TempDir other;
    r = tin({"--extents", "0,2000,2000,3000", "--tileSize", "1000", las}, other.path());
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Generated TIN 2000_0_1000: "), std::string::npos);
    EXPECT_TRUE(outputFiles(other.path()).empty()) << "a tile without points writes no file";

    r = tin({"--extents", "0,0,2000,1000", "--tileSize", "1000", "--namingTruncCoords", las}, other.path());
    EXPECT_EQ(outputFiles(other.path()), (std::vector<std::string>{"0_0.ive", "0_1.ive"}));
    TempDir third;
    r = tin({"--extents", "0,0,2000,1000", las}, third.path());
    EXPECT_EQ(outputFiles(third.path()), (std::vector<std::string>{"0_0_1000.ive", "0_1000_1000.ive"}));
}

// The same tiles, byte for byte, from one thread, from three and from "0"; no
// temporary file is left behind.
TEST(TinProgram, outputIndependentOfThreadCount)
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
TEST(TinProgram, writtenTileReadsBack)
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
TEST(TinProgram, progressLineOnATerminal)
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
