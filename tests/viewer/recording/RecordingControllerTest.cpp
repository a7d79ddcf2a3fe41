#include "tests/support/GridMesh.h"
#include "tests/viewer/ViewerHarness.h"

#include "viewer/navigation/NavigationController.h"
#include "viewer/recording/PathFile.h"
#include "viewer/recording/RecordingController.h"
#include "viewer/TAVRIview.h"

#include <osg/AnimationPath>
#include <osgDB/FileUtils>
#include <osgDB/WriteFile>

#include <cmath>
#include <fstream>

using osgTAVRI::RecordingController;
using tavritest::ViewerHarness;

namespace
{
const int width = 320, height = 240;

// A viewer on a rolling terrain, 300 m south of its middle and 200 m up, looking north.
void start(ViewerHarness& h, const std::string& extra = "")
{
    ASSERT_TRUE(osgDB::writeNodeFile(*tavritest::makeRollingGround(41, 20.0f), h.contentDir() + "/terrain.ive"));
    h.writeConfiguration("<Scene><Model name=\"terrain\" filename=\"../Content/terrain.ive\" visible=\"1\"/></Scene>\n"
                         "<Navigation homeEyeX=\"0\" homeEyeY=\"-300\" homeEyeZ=\"200\" homeCenterX=\"0\" "
                         "homeCenterY=\"0\" homeCenterZ=\"0\"/>\n"
                         "<Window x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" +
                         std::to_string(height) + "\" numSamples=\"0\"/>\n" + extra);
    h.setup();
    h.frame(2);
}

RecordingController* recording(ViewerHarness& h) { return h.app().getRecordingController(); }

osg::Matrixd cameraPose(ViewerHarness& h) { return h.viewer().getCamera()->getInverseViewMatrix(); }

double distance(const osg::Matrixd& a, const osg::Matrixd& b)
{
    double sum = 0.0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            sum += std::fabs(a(r, c) - b(r, c));
    return sum;
}

osg::Matrixd matrixOf(const osg::AnimationPath::ControlPoint& point)
{
    return osg::Matrixd::rotate(point.getRotation()) * osg::Matrixd::translate(point.getPosition());
}

bool isRed(const osg::Image* image, int x, int y)
{
    const unsigned char* p = image->data(x, y);
    return p[0] > 200 && p[1] < 40 && p[2] < 40;
}
} // namespace

// F8, a flight with W and J held, F8: a file in the recordings folder that the toolkit reads,
// whose last pose is where the camera stopped; a red mark while recording. F9 plays it back
// from its first pose and ends exactly at its last.
TEST(RecordingController, RecordsAFlightAndPlaysItBackToItsEndPose)
{
    ViewerHarness h;
    start(h);
    const osg::Matrixd home = cameraPose(h);
    h.key(osgGA::GUIEventAdapter::KEY_F8);
    h.frame();
    ASSERT_TRUE(recording(h)->isRecording());
    osg::ref_ptr<osg::Image> marked = h.readPixels();
    EXPECT_TRUE(isRed(marked.get(), width - 24, 24));

    h.keyPress('w');
    h.keyPress('j');
    h.frame(15);
    h.keyRelease('w');
    h.keyRelease('j');
    h.frame(5);
    const osg::Matrixd end = cameraPose(h);
    h.key(osgGA::GUIEventAdapter::KEY_F8);
    osg::ref_ptr<osg::Image> unmarked = h.readPixels();
    EXPECT_FALSE(isRed(unmarked.get(), width - 24, 24));
    EXPECT_FALSE(recording(h)->isRecording());

    const std::vector<std::string> files = tavritest::listDir(h.contentDir() + "/Paths");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(recording(h)->getLastRecording(), "../Content/Paths/" + files[0]);
    std::ifstream in(h.contentDir() + "/Paths/" + files[0]);
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    flight->read(in);
    const osg::AnimationPath::TimeControlPointMap& points = flight->getTimeControlPointMap();
    ASSERT_GE(points.size(), 20u);
    EXPECT_EQ(points.begin()->first, 0.0);
    EXPECT_LT(distance(matrixOf(points.begin()->second), home), 1e-6);
    EXPECT_LT(distance(matrixOf(points.rbegin()->second), end), 1e-6);
    EXPECT_GT((end.getTrans() - home.getTrans()).length(), 0.1) << "W did not move the camera";

    // Still coasting from the flight when F9 comes: the playback takes the camera all the same.
    h.key(osgGA::GUIEventAdapter::KEY_F9);
    h.frame();
    ASSERT_TRUE(recording(h)->isPlaying());
    EXPECT_LT(distance(cameraPose(h), home), 1e-6) << "playback starts with the first pose";
    for (int i = 0; i < 500 && recording(h)->isPlaying(); ++i)
        h.frame();
    EXPECT_FALSE(recording(h)->isPlaying());
    h.frame(3);
    EXPECT_LT((cameraPose(h).getTrans() - end.getTrans()).length(), 1e-3);
    EXPECT_LT(distance(cameraPose(h), end), 1e-3);
}

// A configured path plays at start; W stops it and the camera flies on from where it was, not
// from home; F3 keeps the Path element as it was configured.
TEST(RecordingController, NavigationKeyStopsPlaybackAndF3KeepsThePath)
{
    ViewerHarness h;
    osg::ref_ptr<osg::AnimationPath> flight = new osg::AnimationPath;
    for (int i = 0; i <= 10; ++i)
        flight->insert(2.0 * i, osg::AnimationPath::ControlPoint(osg::Vec3d(30.0 * i, -300.0, 150.0),
                                                                 osg::Quat(osg::PI_4, osg::X_AXIS)));
    osgDB::makeDirectory(h.contentDir() + "/Paths");
    ASSERT_TRUE(osgTAVRI::PathFile::write(*flight, h.contentDir() + "/Paths/Prepared.path"));
    start(h, "<Path filename=\"../Content/Paths/Prepared.path\" playAtStart=\"1\"/>\n");
    ASSERT_TRUE(recording(h)->isPlaying());
    h.frame(3);
    const osg::Vec3d played = cameraPose(h).getTrans();
    EXPECT_NEAR(played.y(), -300.0, 1e-6);
    EXPECT_NEAR(played.z(), 150.0, 1e-6);

    h.keyPress('w');
    h.frame();
    EXPECT_FALSE(recording(h)->isPlaying());
    h.keyRelease('w');
    h.frame(3);
    const osg::Vec3d after = cameraPose(h).getTrans();
    EXPECT_LT((after - played).length(), 50.0) << "the camera jumped away from the flight";
    EXPECT_GT(after.y(), played.y()) << "W flies on along the view";

    h.key(osgGA::GUIEventAdapter::KEY_F3);
    h.frame();
    const std::string saved = tavritest::readFile(h.configurationPath());
    EXPECT_NE(saved.find("<Path filename=\"../Content/Paths/Prepared.path\" playAtStart=\"1\"/>"), std::string::npos)
        << saved;

    // A broken configured flight: one line, nothing plays, the viewer goes on.
    tavritest::writeFile(h.contentDir() + "/Paths/Prepared.path", "0 0 0 0 0 0 0 1\n2 1 1 1 0 0 0 1\n1 0 0 0 0 0 0 1\n");
    tavritest::NotifyCapture notes(osg::WARN);
    recording(h)->stopPlayback();
    EXPECT_FALSE(recording(h)->play("../Content/Paths/Prepared.path"));
    EXPECT_EQ(notes.linesWith("Prepared.path: line 3: time 1 does not come after 2").size(), 1u) << notes.all();
    EXPECT_FALSE(recording(h)->isPlaying());
    h.frame();
}
