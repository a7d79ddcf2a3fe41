#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include "tin/tiling/TileWriter.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osgDB/ReadFile>

#include <csignal>

#include <sys/resource.h>

using osgTAVRI::writeTile;

namespace
{
osg::ref_ptr<osg::MatrixTransform> tileAt(double x)
{
    return new osg::MatrixTransform(osg::Matrixd::translate(x, 0, 0));
}
} // namespace

// The tile replaces an older file of the same name in one step and leaves no
// temporary file; a folder that does not exist gives one line and no file.
TEST(TileWriter, ReplacesAtomicallyAndReportsFailure)
{
    tavritest::TempDir dir;
    const std::string name = dir.file("0_0.ive");
    ASSERT_TRUE(writeTile(*tileAt(1), name));
    ASSERT_TRUE(writeTile(*tileAt(2), name));
    EXPECT_EQ(tavritest::listDir(dir.path()), std::vector<std::string>{"0_0.ive"});
    osg::ref_ptr<osg::MatrixTransform> back = dynamic_cast<osg::MatrixTransform*>(osgDB::readRefNodeFile(name).get());
    ASSERT_TRUE(back.valid());
    EXPECT_EQ(back->getMatrix().getTrans().x(), 2.0);

    tavritest::NotifyCapture capture(osg::NOTICE);
    EXPECT_FALSE(writeTile(*tileAt(3), dir.file("missing/0_0.ive")));
    EXPECT_EQ(capture.linesWith("Could not write tile \"" + dir.file("missing/0_0.ive") + "\"").size(), 1u);
    EXPECT_EQ(tavritest::listDir(dir.path()), std::vector<std::string>{"0_0.ive"});
}

// A tile of several MB goes to its file through the writer's buffer in many blocks: on a full
// disk, imitated with the file-size limit, the write fails as a whole (the old tile stays, no
// temporary is left, one line); with room again the same tile reads back whole.
TEST(TileWriter, ALargeTileOnAFullDiskLeavesTheOldOne)
{
    tavritest::TempDir dir;
    const std::string name = dir.file("0_0.ive");
    ASSERT_TRUE(writeTile(*tileAt(1), name));
    const std::string old = tavritest::readFile(name);

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (int i = 0; i < 400000; ++i)
        vertices->push_back(osg::Vec3(float(i % 700), float(i / 700), float(i % 13)));
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, GLsizei(vertices->size())));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    osg::ref_ptr<osg::MatrixTransform> big = tileAt(2);
    big->addChild(geode.get());

    struct rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    struct rlimit limited = previous;
    limited.rlim_cur = 3 << 20;
    void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool written;
    {
        tavritest::NotifyCapture capture(osg::NOTICE);
        written = writeTile(*big, name);
        EXPECT_EQ(capture.linesWith("Could not write tile \"" + name + "\"").size(), 1u);
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(tavritest::readFile(name), old);
    EXPECT_EQ(tavritest::listDir(dir.path()), std::vector<std::string>{"0_0.ive"});

    ASSERT_TRUE(writeTile(*big, name));
    osg::ref_ptr<osg::Node> back = osgDB::readRefNodeFile(name);
    ASSERT_TRUE(back.valid());
    const osg::Geode* readGeode = back->asGroup() ? back->asGroup()->getChild(0)->asGeode() : nullptr;
    ASSERT_TRUE(readGeode && readGeode->getDrawable(0)->asGeometry());
    EXPECT_EQ(readGeode->getDrawable(0)->asGeometry()->getVertexArray()->getNumElements(), vertices->size());
}
