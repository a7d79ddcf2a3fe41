#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/tin/imagery/ImageryTestSupport.h"
#include "tin/las/LasWriter.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/PagedLOD>
#include <osg/Texture2D>
#include <osg/TriangleIndexFunctor>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>

#include <cmath>
#include <fstream>
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

osg::PagedLOD* pagedChild(osg::Node& node, unsigned i)
{
    osg::Group* group = node.asGroup();
    return group && i < group->getNumChildren() ? dynamic_cast<osg::PagedLOD*>(group->getChild(i)) : nullptr;
}

bool textured(osg::Node& coarse)
{
    osg::Group* transform = coarse.asGroup();
    osg::Geode* geode = transform && transform->getNumChildren() ? transform->getChild(0)->asGeode() : nullptr;
    const osg::StateSet* state = geode && geode->getNumDrawables() ? geode->getDrawable(0)->getStateSet() : nullptr;
    return state && state->getTextureAttribute(0, osg::StateAttribute::TEXTURE);
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

    // Untextured tiles leave the levels untextured.
    osg::ref_ptr<osg::Node> root = osgDB::readRefNodeFile(one.file("terrain.ive"));
    osg::PagedLOD* top = dynamic_cast<osg::PagedLOD*>(root.get());
    ASSERT_TRUE(top && top->getNumChildren() == 1);
    EXPECT_FALSE(textured(*top->getChild(0)));
    EXPECT_FALSE(textured(*first->getChild(0)));

    // A rerun over a smaller grid removes the level files its root no longer reaches, and
    // only those: a file of another kind in the folder stays.
    tavritest::writeFile(one.file("terrain_levels/notes.txt"), "kept");
    r = tintest::runTin({"--extents", "0,0,500,500", "--tileSize", "250", "--namingRowCol", "--pagedDatabase",
                         "terrain.ive", "--indexOnly"},
                        one.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(tavritest::listDir(one.file("terrain_levels")),
              (std::vector<std::string>{"L1_0_0.ive", "notes.txt"}));
    Walk smaller;
    smaller.follow(one.file("terrain.ive"), 0);
    EXPECT_TRUE(smaller.problems.empty());
    EXPECT_EQ(smaller.tilesReached, (std::set<std::string>{"0_0.ive", "0_1.ive", "1_0.ive", "1_1.ive"}));
}

// Tiles textured from a raster with a known pattern (written by GDAL): the coarse surfaces of
// every level show, through their texture coordinates, the raster's colour at the ground points
// they stand for, and a surface with no textured tile below it stays untextured.
TEST(PagedDatabase, CoarseLevelsShowTheTilesImagery)
{
    using namespace imagerytest;
    TempDir dir;
    // 4 x 2 tiles of 100 m: the western 2 x 2 textured, the easternmost column beyond the
    // raster, the one between without points.
    const double x0 = 500000.0, y0 = 6600000.0;
    const double transform[6] = {x0 - 50.0, 0.5, 0.0, y0 + 250.0, 0.0, -0.5};
    writeRaster(dir.file("pattern.tif"), 500, 600, transform, 3006, cellColour);
    writeGround(dir.file("west.las"), x0, y0, x0 + 200.0, y0 + 200.0, wktOf(3006));
    writeGround(dir.file("east.las"), x0 + 300.0, y0, x0 + 400.0, y0 + 200.0, wktOf(3006));
    RunResult r = tintest::runTin({"--extents", "500000,6600000,500400,6600200", "--tileSize", "100",
                                   "--namingRowCol", "--texture", dir.file("pattern.tif"), "--pagedDatabase",
                                   "terrain.ive", dir.file("west.las"), dir.file("east.las")},
                                  dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    // Each coarse surface, at points inside its square and clear of the pattern's edges, with
    // texture coordinates and position interpolated inside its triangles.
    std::size_t compared = 0;
    auto expectPattern = [&](osg::PagedLOD& lod, double side) {
        const osg::Vec3d c = lod.getCenter();
        const TileSamples t = sampleTile(*lod.getChild(0), lod.getName());
        ASSERT_GT(t.textureColumns, 0) << lod.getName() << " is untextured";
        osg::Geometry* geometry = lod.getChild(0)->asGroup()->getChild(0)->asGeode()->getDrawable(0)->asGeometry();
        const osg::Vec3Array& v = *static_cast<osg::Vec3Array*>(geometry->getVertexArray());
        const osg::Vec2Array& tc = *static_cast<osg::Vec2Array*>(geometry->getTexCoordArray(0));
        const osg::Image& image = *static_cast<osg::Texture2D*>(geometry->getStateSet()->getTextureAttribute(
                                                                      0, osg::StateAttribute::TEXTURE))
                                       ->getImage();
        const osg::Vec3d centre = static_cast<osg::MatrixTransform*>(lod.getChild(0))->getMatrix().getTrans();
        const osg::DrawElementsUInt& list = *static_cast<osg::DrawElementsUInt*>(geometry->getPrimitiveSet(0));
        for (std::size_t k = 0; k + 2 < list.size(); k += 3)
            for (const osg::Vec3d& w : {osg::Vec3d(1, 1, 1) / 3.0, osg::Vec3d(0.6, 0.2, 0.2), osg::Vec3d(0.2, 0.2, 0.6)})
            {
                const osg::Vec3d p = (osg::Vec3d(v[list[k]]) * w[0] + osg::Vec3d(v[list[k + 1]]) * w[1] +
                                      osg::Vec3d(v[list[k + 2]]) * w[2]) +
                                     centre;
                const osg::Vec2 st = tc[list[k]] * w[0] + tc[list[k + 1]] * w[1] + tc[list[k + 2]] * w[2];
                if (std::fabs(p.x() - c.x()) > side / 2 || std::fabs(p.y() - c.y()) > side / 2 ||
                    p.x() > x0 + 200.0 || distanceToCellEdge(p.x(), p.y()) < 2.0)
                    continue;
                const unsigned char* texel = image.data(std::min(image.s() - 1, int(st.x() * image.s())),
                                                        std::min(image.t() - 1, int(st.y() * image.t())));
                const Rgb want = cellColour(p.x(), p.y());
                ++compared;
                EXPECT_LE(colourDistance(Rgb(texel[0], texel[1], texel[2], 255), want), 2)
                    << lod.getName() << " at " << p.x() << ", " << p.y();
            }
    };

    osg::ref_ptr<osg::Node> root = osgDB::readRefNodeFile(dir.file("terrain.ive"));
    osg::PagedLOD* top = dynamic_cast<osg::PagedLOD*>(root.get());
    ASSERT_TRUE(top && top->getNumChildren() == 1);
    expectPattern(*top, 400.0); // level 2, from the level files below it
    osg::ref_ptr<osg::Node> level2 = osgDB::readRefNodeFile(dir.file("terrain_levels/L2_0_0.ive"));
    ASSERT_TRUE(level2.valid() && pagedChild(*level2, 0) && pagedChild(*level2, 1));
    expectPattern(*pagedChild(*level2, 0), 200.0);
    EXPECT_FALSE(textured(*pagedChild(*level2, 1)->getChild(0)));
    osg::ref_ptr<osg::Node> level1 = osgDB::readRefNodeFile(dir.file("terrain_levels/L1_0_0.ive"));
    for (unsigned i = 0; i < 4; ++i)
    {
        ASSERT_TRUE(level1.valid() && pagedChild(*level1, i));
        expectPattern(*pagedChild(*level1, i), 100.0);
    }
    EXPECT_GT(compared, 2000u);

    // The index step alone, on two threads, composes the same bytes.
    const auto once = database(dir.path());
    r = tintest::runTin({"--extents", "500000,6600000,500400,6600200", "--tileSize", "100", "--namingRowCol",
                         "--pagedDatabase", "terrain.ive", "--indexOnly", "--numThreads", "2"},
                        dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(database(dir.path()) == once);
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

// With the scan's own colours (--colour rgb) the coarse surfaces carry vertex colours too: the
// mean of the ground each vertex stands for, so inside a patch of one colour, that colour.
TEST(PagedDatabase, CoarseLevelsAverageTheScansColours)
{
    using namespace imagerytest;
    TempDir dir;
    {
        std::ofstream out(dir.file("colour.las").c_str(), std::ios::binary);
        osgTAVRI::LasWriter::Settings settings;
        settings.pointFormat = 2;
        osgTAVRI::LasWriter writer(out, settings);
        for (int j = 0; j < 200; ++j)
            for (int i = 0; i < 200; ++i)
            {
                const double x = i + 0.5 + 0.3 * std::sin(i * 1.7 + j), y = j + 0.5 + 0.3 * std::cos(j * 2.3 + i);
                const Rgb c = cellColour(x, y);
                writer.setColour(std::uint16_t(c[0] * 257), std::uint16_t(c[1] * 257), std::uint16_t(c[2] * 257));
                writer.addPoint(x, y, 5.0 + 2.0 * std::sin(x / 30.0));
            }
        writer.finish();
    }
    RunResult r = tintest::runTin({"--extents", "0,0,200,200", "--tileSize", "100", "--namingRowCol", "--colour",
                                   "rgb", "--pagedDatabase", "terrain.ive", dir.file("colour.las")},
                                  dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    std::size_t compared = 0;
    auto expectColours = [&](osg::Node& coarse, double clear) {
        const TileSamples t = sampleTile(coarse, coarse.getName());
        for (const Sample& s : t.samples)
        {
            ASSERT_TRUE(s.coloured);
            if (distanceToCellEdge(s.world.x(), s.world.y()) < clear)
                continue;
            ++compared;
            const Rgb want = cellColour(s.world.x(), s.world.y());
            EXPECT_LE(colourDistance(s.colour, want), 1) << "at " << s.world.x() << ", " << s.world.y();
        }
    };
    osg::ref_ptr<osg::Node> root = osgDB::readRefNodeFile(dir.file("terrain.ive"));
    osg::PagedLOD* top = dynamic_cast<osg::PagedLOD*>(root.get());
    ASSERT_TRUE(top && top->getNumChildren() == 1);
    expectColours(*top->getChild(0), 10.0);
    const std::size_t atTop = compared;
    EXPECT_GT(atTop, 10u);
    osg::ref_ptr<osg::Node> level1 = osgDB::readRefNodeFile(dir.file("terrain_levels/L1_0_0.ive"));
    for (unsigned i = 0; i < 4; ++i)
    {
        ASSERT_TRUE(level1.valid() && pagedChild(*level1, i));
        expectColours(*pagedChild(*level1, i)->getChild(0), 5.0);
    }
    EXPECT_GT(compared, atTop + 100);
}
