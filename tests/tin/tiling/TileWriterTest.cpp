#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

#include "tin/tiling/TileWriter.h"

#include <osg/MatrixTransform>
#include <osgDB/ReadFile>

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
