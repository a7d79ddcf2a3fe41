#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/PagedLOD>
#include <osg/TriangleIndexFunctor>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>

#include <functional>
#include <map>
#include <set>

using tavritest::RunResult;
using tavritest::TempDir;

namespace
{
// 12 tiles of 250 m in 4 columns and 3 rows: not a power of two, so the quadtree has
// nodes that reach beyond the grid.
const std::vector<std::string> gridArgs{"--extents", "0,0,1000,750", "--tileSize", "250", "--namingRowCol"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

struct CountTriangles
{
    std::size_t* count = nullptr;
    void operator()(unsigned, unsigned, unsigned) { ++*count; }
};

std::size_t triangles(osg::Node& node)
{
    struct Visitor : osg::NodeVisitor
    {
        Visitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Geometry& geometry) override
        {
            osg::TriangleIndexFunctor<CountTriangles> f;
            f.count = &count;
            geometry.accept(f);
        }
        std::size_t count = 0;
    } visitor;
    node.accept(visitor);
    return visitor.count;
}

// Every file of the database, whole: all names with their bytes, below `dir` (levels too).
std::map<std::string, std::string> database(const std::string& dir)
{
    std::map<std::string, std::string> files = tintest::tileContents(dir);
    for (const auto& level : tintest::tileContents(dir + "/terrain_levels"))
        files["terrain_levels/" + level.first] = level.second;
    return files;
}

// Follows every PagedLOD from the root down, reading each file it names the way the pager
// does (relative to the file that names it), and checks the structure on the way.
struct Walk
{
    std::set<std::string> tilesReached;
    std::size_t levelFiles = 0;
    std::vector<std::string> problems;

    void follow(const std::string& file, unsigned depth)
    {
        osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(file);
        if (!node.valid())
        {
            problems.push_back("cannot read " + file);
            return;
        }
        if (osgDB::getSimpleFileName(osgDB::getFilePath(file)) != "terrain_levels" && depth > 0)
        {
            tilesReached.insert(osgDB::getSimpleFileName(file));
            return;
        }
        if (depth > 0)
            ++levelFiles;
        osg::Group* group = node->asGroup();
        std::vector<osg::PagedLOD*> lods;
        if (osg::PagedLOD* lod = dynamic_cast<osg::PagedLOD*>(node.get()))
            lods.push_back(lod);
        else
            for (unsigned i = 0; group && i < group->getNumChildren(); ++i)
                if (osg::PagedLOD* child = dynamic_cast<osg::PagedLOD*>(group->getChild(i)))
                    lods.push_back(child);
        if (lods.empty())
            problems.push_back(file + " holds no PagedLOD");
        for (osg::PagedLOD* lod : lods)
        {
            if (lod->getRangeMode() != osg::LOD::PIXEL_SIZE_ON_SCREEN || lod->getNumChildren() != 1 ||
                lod->getNumFileNames() != 2 || lod->getMaxRange(0) != lod->getMinRange(1))
            {
                problems.push_back(file + ": " + lod->getName() + " is not coarse child + finer file");
                continue;
            }
            const std::string name = lod->getFileName(1);
            if (name.empty() || name[0] == '/')
                problems.push_back(file + ": not a relative name: " + name);
            if (!osgDB::findDataFile(lod->getDatabasePath() + name).empty())
                follow(lod->getDatabasePath() + name, depth + 1);
            else
                problems.push_back(file + " names a missing file " + name);
        }
    }
};
} // namespace

// The database over a small grid: its root leads through every level to every tile, coarser
// levels hold about a quarter of the triangles below them, and the bytes are the same for one
// and two threads and for three shards followed by the index step.
TEST(PagedDatabase, ReachesEveryTileAndIsTheSameHoweverBuilt)
{
    TempDir in, one, two, sharded;
    const std::string las = tintest::writeRollingTerrain(in.file("terrain.las"));

    RunResult r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", las}), one.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Paged database terrain.ive: 12 tile(s) under 2 coarser level(s)"), std::string::npos)
        << r.out;

    Walk walk;
    walk.follow(one.file("terrain.ive"), 0);
    EXPECT_TRUE(walk.problems.empty()) << walk.problems.front();
    std::set<std::string> tiles;
    for (const std::string& f : tintest::tileFiles(one.path()))
        if (f != "terrain.ive")
            tiles.insert(f);
    EXPECT_EQ(tiles.size(), 12u);
    EXPECT_EQ(walk.tilesReached, tiles);
    EXPECT_EQ(walk.levelFiles, 1u + 4u); // the 2 x 2 nodes of level 1 below the one of level 2

    // A tile's coarse stand-in holds about a quarter of its triangles (plus its skirt).
    osg::ref_ptr<osg::Node> level1 = osgDB::readRefNodeFile(one.file("terrain_levels/L1_0_0.ive"));
    ASSERT_TRUE(level1.valid() && level1->asGroup() && level1->asGroup()->getNumChildren() == 4);
    osg::PagedLOD* first = dynamic_cast<osg::PagedLOD*>(level1->asGroup()->getChild(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->getFileName(1), "../0_0.ive");
    osg::ref_ptr<osg::Node> tile = osgDB::readRefNodeFile(one.file("0_0.ive"));
    const double ratio = double(triangles(*first->getChild(0))) / double(triangles(*tile));
    EXPECT_GT(ratio, 0.12);
    EXPECT_LT(ratio, 0.6);

    r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", "--numThreads", "2", las}), two.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto expected = database(one.path());
    EXPECT_TRUE(database(two.path()) == expected);

    for (const char* shard : {"1/3", "2/3", "3/3"})
        ASSERT_EQ(tintest::runTin(with(gridArgs, {"--shard", shard, las}), sharded.path()).exitCode, 0);
    EXPECT_FALSE(tavritest::fileExists(sharded.file("terrain.ive")));
    r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", "--indexOnly", "--numThreads", "2"}),
                        sharded.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(database(sharded.path()) == expected);
}

// A damaged tile is named once and left out; a run that cannot finish its levels leaves no
// root, not even the one of an earlier run; misused options are refused before any work.
TEST(PagedDatabase, BadTilesAndUnfinishedRuns)
{
    TempDir in, dir;
    const std::string las = tintest::writeRollingTerrain(in.file("terrain.las"));
    ASSERT_EQ(tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", las}), dir.path()).exitCode, 0);

    tavritest::writeFile(dir.file("1_2.ive"), "not a scene file");
    RunResult r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", "--indexOnly"}), dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("Paged database terrain.ive: tile 1_2.ive cannot be read; the levels leave it out\n"),
              std::string::npos)
        << r.err;
    Walk walk;
    walk.follow(dir.file("terrain.ive"), 0);
    EXPECT_TRUE(walk.problems.empty());
    EXPECT_EQ(walk.tilesReached.count("1_2.ive"), 0u);
    EXPECT_EQ(walk.tilesReached.size(), 11u);

    // The levels folder cannot be made: the old root goes, and no new one comes.
    ASSERT_EQ(tavritest::shell("rm -rf '" + dir.file("terrain_levels") + "' && touch '" +
                               dir.file("terrain_levels") + "'"),
              0);
    r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", "--indexOnly"}), dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("could not make the folder terrain_levels"), std::string::npos) << r.err;
    EXPECT_FALSE(tavritest::fileExists(dir.file("terrain.ive")));

    EXPECT_EQ(tintest::runTin(with(gridArgs, {"--indexOnly"}), dir.path()).exitCode, 1);
    r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "sub/terrain.ive", las}), dir.path());
    EXPECT_EQ(r.exitCode, 1);
    r = tintest::runTin(with(gridArgs, {"--pagedDatabase", "terrain.ive", "--shard", "1/2", las}), dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("run the shards without it, then tin --pagedDatabase terrain.ive --indexOnly"),
              std::string::npos)
        << r.err;
}
