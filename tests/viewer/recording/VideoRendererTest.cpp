#include "tests/support/GridMesh.h"
#include "tests/viewer/ViewerHarness.h"

#include "viewer/navigation/NavigationController.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/recording/PathFile.h"
#include "viewer/recording/PathInterpolator.h"

#include <osg/AnimationPath>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>

using tavritest::RunResult;
using tavritest::ViewerHarness;

namespace
{
const int width = 320, height = 240;

// What a player makes of a video file: the test tool decodes it through libavformat and
// libavcodec and writes the frame asked for as a picture.
struct DecodedVideo
{
    std::string codec;
    int width = 0, height = 0, frames = 0;
    osg::ref_ptr<osg::Image> frame;
};

DecodedVideo decode(const std::string& path, int keep, const std::string& picture)
{
    DecodedVideo video;
    const RunResult result = tavritest::run({tavritest::toolPath("VideoFrames"), path, std::to_string(keep), picture});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    char codec[32] = {};
    if (std::sscanf(result.out.c_str(), "codec=%31s width=%d height=%d frames=%d", codec, &video.width, &video.height,
                    &video.frames) == 4)
        video.codec = codec;
    video.frame = osgDB::readImageFile(picture);
    return video;
}

// Mean difference of the colour channels of two pictures of the video's size.
double meanDifference(const osg::Image& a, const osg::Image& b)
{
    double sum = 0.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(a.data(x, y)[c] - b.data(x, y)[c]);
    return sum / (3.0 * width * height);
}

// An installation-like tree with the installed overlay resources, a rolling terrain and a
// window of the video's size; the installed program renders from its Bin folder.
class Video : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tavritest::ensureDisplay();
        ASSERT_TRUE(tavritest::fileExists(program)) << "run make dist first";
        for (const char* folder : {"Resources/Fonts", "Resources/Images"})
            h.copyIntoTree(tavritest::distDir() + "/" + folder, folder);
        // Coloured in bands, unlit: every step of the camera shows.
        osg::ref_ptr<osg::Geode> terrain = tavritest::makeRollingGround(41, 30.0f);
        osg::Geometry* ground = terrain->getDrawable(0)->asGeometry();
        osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
        for (const osg::Vec3& v : *static_cast<osg::Vec3Array*>(ground->getVertexArray()))
            colours->push_back(osg::Vec4(0.5f + 0.5f * std::sin(v.x() / 40.0f), 0.5f + 0.5f * std::cos(v.y() / 30.0f),
                                         0.3f, 1.0f));
        ground->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
        terrain->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
        ASSERT_TRUE(osgDB::writeNodeFile(*terrain, h.contentDir() + "/terrain.ive"));
        h.writeConfiguration("<Scene><Model name=\"terrain\" filename=\"../Content/terrain.ive\" visible=\"1\"/></Scene>\n"
                             "<Environment backgroundColorRed=\"0.5\" backgroundColorGreen=\"0.6\" "
                             "backgroundColorBlue=\"0.9\"/>\n"
                             "<Window x=\"0\" y=\"0\" width=\"320\" height=\"240\" numSamples=\"0\"/>\n");
    }

    // A flight north over the terrain, looking down at 30 degrees and turning, `seconds` long
    // with a pose every half second.
    std::string writeFlight(const std::string& name, double seconds)
    {
        osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
        for (int i = 0; 0.5 * i <= seconds; ++i)
        {
            const osg::Quat down(osg::DegreesToRadians(60.0), osg::X_AXIS);
            const osg::Quat turn(0.3 * i, osg::Z_AXIS);
            flight->insert(0.5 * i, osg::AnimationPath::ControlPoint(osg::Vec3d(20.0 * i, -400.0 + 60.0 * i, 250.0),
                                                                     down * turn));
        }
        const std::string path = h.contentDir() + "/" + name;
        EXPECT_TRUE(osgTAVRI::PathFile::write(*flight, path));
        return path;
    }

    RunResult render(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv = {program, "--video"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return tavritest::run(argv, h.binDir(), 240.0);
    }

    // The hidden temporaries of an unfinished video beside it.
    std::vector<std::string> leftovers()
    {
        std::vector<std::string> found;
        for (const std::string& name : tavritest::listDir(h.contentDir()))
            if (name.find(".part") != std::string::npos)
                found.push_back(name);
        return found;
    }

    ViewerHarness h;
    const std::string program = tavritest::distDir() + "/Bin/TAVRIview";
};
} // namespace

// One second at 10 frames a second: 11 frames (both ends shown) of H.264 in 320 x 240, one line
// of progress per tenth; frame 5 (half a second in, on a recorded pose) is the picture the
// viewer shows at that pose, within what the encoding loses.
TEST_F(Video, RendersAShortPathFrameExact)
{
    const std::string flight = writeFlight("short.path", 1.0);
    const std::string out = h.contentDir() + "/short.mp4";
    const RunResult result = render({flight, out, "--size", "320x240", "--fps", "10", "--noOverlay"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("Video: 10 % (2/11 frames)"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Video: 100 % (11/11 frames)"), std::string::npos) << result.out;
    EXPECT_TRUE(leftovers().empty());

    const DecodedVideo video = decode(out, 5, h.contentDir() + "/frame5.png");
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.width, width);
    EXPECT_EQ(video.height, height);
    EXPECT_EQ(video.frames, 11);
    ASSERT_TRUE(video.frame.valid());
    ASSERT_EQ(video.frame->s(), width);

    std::string error;
    osg::ref_ptr<osg::AnimationPath> path = osgTAVRI::PathFile::read(flight, error);
    ASSERT_TRUE(path.valid()) << error;
    h.setup();
    h.frame(2);
    h.overlay()->setNodeMask(0);
    h.navigationController()->setByMatrix(osgTAVRI::PathInterpolator(*path).poseAt(0.5));
    osg::ref_ptr<osg::Image> screenshot = h.readPixels();
    ASSERT_TRUE(screenshot.valid());
    const double same = meanDifference(*video.frame, *screenshot);
    // H.264 halves the colour resolution; these bands of strong colour lose about 3 levels.
    EXPECT_LT(same, 5.0) << "frame 5 is not the view at its pose";

    // The check has teeth: the view a frame later differs by far more.
    h.navigationController()->setByMatrix(osgTAVRI::PathInterpolator(*path).poseAt(0.6));
    osg::ref_ptr<osg::Image> later = h.readPixels();
    EXPECT_GT(meanDifference(*video.frame, *later), 3.0 * same) << "frame 5 at " << same;
}

// Ctrl-C in the middle leaves the old video as it was and no temporary behind; a missing or
// malformed path, or a wrong command line, ends at once with one line and exit code 1.
TEST_F(Video, InterruptedOrRefusedRendersLeaveNoFile)
{
    const std::string out = h.contentDir() + "/long.mp4";
    tavritest::writeFile(out, "the video of yesterday");
    tavritest::Process renderer;
    renderer.start({program, "--video", writeFlight("long.path", 40.0), out, "--size", "640x480", "--fps", "30"},
                   h.binDir());
    ASSERT_TRUE(tavritest::waitFor([&] { return renderer.output().find("Video: 10 %") != std::string::npos; }, 120.0))
        << renderer.output() << renderer.errorOutput();
    EXPECT_FALSE(leftovers().empty()) << "the video is written beside its target";
    ::kill(renderer.pid(), SIGINT);
    int code = 0;
    ASSERT_TRUE(renderer.wait(30.0, code));
    EXPECT_EQ(code, 128 + SIGINT);
    EXPECT_EQ(tavritest::readFile(out), "the video of yesterday");
    EXPECT_TRUE(leftovers().empty());

    const std::string good = writeFlight("good.path", 1.0);
    const std::string bad = h.contentDir() + "/bad.mp4";
    tavritest::writeFile(h.contentDir() + "/text.path", "This is not a flight.\n");
    tavritest::writeFile(h.contentDir() + "/backwards.path", "0 0 0 0 0 0 0 1\n1 0 0 0 0 0 0 1\n0.5 0 0 0 0 0 0 1\n");
    const std::vector<std::vector<std::string>> refused = {
        {h.contentDir() + "/missing.path", bad},
        {h.contentDir() + "/text.path", bad},
        {h.contentDir() + "/backwards.path", bad},
        {good, bad, "--size", "321x240"},
        {good, bad, "--fps", "zero"},
        {good},
    };
    for (const std::vector<std::string>& arguments : refused)
    {
        const RunResult result = render(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments[0];
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_FALSE(tavritest::fileExists(bad));
    }
    EXPECT_NE(render(refused[2]).err.find("backwards.path: line 3: time 0.5 does not come after 1 of line 2"),
              std::string::npos);

    // A folder that cannot be written: the encoder's exit code, and still no file.
    const RunResult unwritable = render({good, h.contentDir() + "/no/such/folder/out.mp4"});
    EXPECT_EQ(unwritable.exitCode, 3) << unwritable.err;
    EXPECT_NE(unwritable.err.find("Cannot write"), std::string::npos) << unwritable.err;
    EXPECT_TRUE(leftovers().empty());
}
