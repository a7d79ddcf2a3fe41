#include "tests/support/TestSupport.h"

#include "viewer/recording/PathFile.h"

#include <osg/AnimationPath>

#include <fstream>
#include <sstream>

using osgTAVRI::PathFile::parse;
using osgTAVRI::PathFile::read;
using osgTAVRI::PathFile::write;

namespace
{
osg::ref_ptr<osg::AnimationPath> sampleFlight()
{
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    for (int i = 0; i < 5; ++i)
        flight->insert(0.4 * i, osg::AnimationPath::ControlPoint(osg::Vec3d(101000.25 + i, 6399300.125 - 3 * i, 420.0),
                                                                 osg::Quat(0.3 * i, osg::Vec3d(0.2, 0.1, 1.0))));
    return flight;
}

std::string parseError(const std::string& text)
{
    std::string error;
    EXPECT_FALSE(parse(text, "bad.path", error).valid()) << text;
    return error;
}
} // namespace

// What we write, the toolkit's own reader reads back pose for pose, and so does ours.
TEST(PathFile, WritesWhatTheToolkitReadsAndReadsWhatItWrites)
{
    tavritest::TempDir dir;
    const std::string path = dir.file("flight.path");
    osg::ref_ptr<osg::AnimationPath> flight = sampleFlight();
    ASSERT_TRUE(write(*flight, path));

    osg::ref_ptr<osg::AnimationPath> theirs = new osg::AnimationPath;
    std::ifstream in(path);
    theirs->read(in);
    std::string error;
    osg::ref_ptr<osg::AnimationPath> ours = read(path, error);
    ASSERT_TRUE(ours.valid()) << error;

    for (const osg::AnimationPath* back : {theirs.get(), ours.get()})
    {
        ASSERT_EQ(back->getTimeControlPointMap().size(), flight->getTimeControlPointMap().size());
        auto expected = flight->getTimeControlPointMap().begin();
        for (const auto& point : back->getTimeControlPointMap())
        {
            EXPECT_NEAR(point.first, expected->first, 1e-12);
            EXPECT_NEAR((point.second.getPosition() - expected->second.getPosition()).length(), 0.0, 1e-6);
            EXPECT_NEAR((point.second.getRotation().asVec4() - expected->second.getRotation().asVec4()).length(), 0.0,
                        1e-12);
            ++expected;
        }
    }
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(tavritest::listDir(dir.path()), std::vector<std::string>{"flight.path"});
}

TEST(PathFile, RejectsWhatIsNotAnAnimationPathWithOneLineNamingTheFault)
{
    const std::string good = "0 1 2 3 0 0 0 1\n";
    EXPECT_NE(parseError("<Path/>\n").find("bad.path: line 1: not an animation path"), std::string::npos);
    EXPECT_NE(parseError(good + "0.5 1 2 3 0 0 1\n").find("line 2: not an animation path"), std::string::npos);
    EXPECT_NE(parseError(good + "0.5 1 2 3 0 0 0 1 9\n").find("line 2"), std::string::npos);
    EXPECT_NE(parseError(good + "0.5 1 2 nan 0 0 0 1\n").find("line 2"), std::string::npos);
    EXPECT_NE(parseError(good + "0.5 1 2 3 0 0 0 0\n").find("line 2: the rotation has no length"), std::string::npos);
    EXPECT_NE(parseError(good + "0.5 1e300 2 3 0 0 0 1\n").find("line 2: time or position out of range"),
              std::string::npos);
    EXPECT_NE(parseError(good + "\n2 1 2 3 0 0 0 1\n1 1 2 3 0 0 0 1\n").find("line 4: time 1 does not come after 2 of line 3"),
              std::string::npos);
    EXPECT_NE(parseError(good + "0 5 5 5 0 0 0 1\n").find("line 2: time 0 does not come after 0"), std::string::npos);
    EXPECT_NE(parseError("").find("holds no camera positions"), std::string::npos);
    EXPECT_NE(parseError("\n \n").find("holds no camera positions"), std::string::npos);
    for (const std::string& text : {std::string("<Path/>"), good + "1 x"})
        EXPECT_EQ(parseError(text).find('\n'), std::string::npos);

    // Windows line ends and a last line without one are fine; rotations come back normalised.
    std::string error;
    osg::ref_ptr<osg::AnimationPath> flight = parse("0 1 2 3 0 0 0 2\r\n1.5 4 5 6 0 0 3 4", "ok.path", error);
    ASSERT_TRUE(flight.valid()) << error;
    ASSERT_EQ(flight->getTimeControlPointMap().size(), 2u);
    EXPECT_NEAR(flight->getTimeControlPointMap().rbegin()->second.getRotation().w(), 0.8, 1e-12);

    tavritest::TempDir dir;
    EXPECT_FALSE(read(dir.file("missing.path"), error).valid());
    EXPECT_EQ(error, "Path file " + dir.file("missing.path") + ": not found");
}
