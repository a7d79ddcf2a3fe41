#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/SeaDrawable.h"

#include <osg/Math>

#include <unistd.h>

using namespace tavritest;

namespace
{
// Eye 20 m above the sea looking north along it: the horizon runs through the middle row.
const osg::Vec3d eye(0, 0, 20), ahead(0, 1000, 20);

int differingPixels(const osg::Image* a, const osg::Image* b, int y0, int y1)
{
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < 320; ++x)
            count += pixel(a, x, y) != pixel(b, x, y);
    return count;
}
} // namespace

// Below the horizon the sea covers the red background with water colours, and the waves move
// it from one frame to the next; above the horizon the sky stands still.
TEST(SeaDrawable, TheSeaFillsTheViewBelowTheHorizonAndMoves)
{
    ViewerHarness h;
    installSeaData(h);
    h.writeConfiguration(waterConfiguration(eye, ahead));
    h.setup();
    h.frame(3);
    osgTAVRI::SeaDrawable* sea = findSea(h.scene());
    ASSERT_NE(sea, nullptr);
    ASSERT_NE(sea->getOcean(), nullptr);
    // The configuration's 250 degrees reach the library in radians.
    EXPECT_DOUBLE_EQ(sea->getWindDirection(), osg::DegreesToRadians(250.0));

    osg::ref_ptr<osg::Image> first = h.readPixels();
    usleep(400000);
    osg::ref_ptr<osg::Image> second = h.readPixels();
    ASSERT_TRUE(first.valid() && second.valid());
    for (int y = 0; y < 100; y += 9)
        for (int x = 0; x < 320; x += 16)
        {
            const osg::Vec3i p = pixel(first.get(), x, y);
            EXPECT_GT(p.z(), p.x()) << "water, not background, at " << x << "," << y;
        }
    EXPECT_GT(differingPixels(first.get(), second.get(), 0, 100), 320 * 100 / 4);
    EXPECT_EQ(differingPixels(first.get(), second.get(), 140, 240), 0);
}

// Without the sea's data the viewer writes one line, draws the rest of the scene and retries
// quietly; once the data is there, the next attempt starts the sea.
TEST(SeaDrawable, WithoutItsDataOneLineAndTheViewerRunsOn)
{
    ViewerHarness h;
    h.writeConfiguration(waterConfiguration(eye, ahead));
    h.setup();
    h.scene()->addChild(unlitBox(osg::Vec3(0.0f, 100.0f, 20.0f), 10.0f, osg::Vec4(0, 1, 0, 1)));
    const std::string message =
        "Failed to initialize the sea - is the resource path passed in to the ResourceLoader constructor valid?";
    {
        NotifyCapture capture(osg::WARN);
        h.frame(5);
        usleep(1200000); // past the retry interval
        h.frame(5);
        osg::ref_ptr<osg::Image> image = h.readPixels();
        ASSERT_TRUE(image.valid());
        EXPECT_EQ(pixel(image.get(), 160, 120), osg::Vec3i(0, 255, 0));
        // The overlay misses its font and images in this tree too; of the sea, one line.
        const std::vector<std::string> lines = capture.linesWith("Sea");
        ASSERT_EQ(lines.size(), 1u) << capture.all();
        EXPECT_TRUE(capture.linesWith(".tga").empty()) << capture.all();
        EXPECT_EQ(lines[0].rfind(message, 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find("../Resources/Sea/"), std::string::npos) << "names what is missing: " << lines[0];
    }
    osgTAVRI::SeaDrawable* sea = findSea(h.scene());
    ASSERT_NE(sea, nullptr);
    EXPECT_EQ(sea->getOcean(), nullptr);
    EXPECT_EQ(sea->getEnvironment(), nullptr) << "a failed start keeps nothing";

    installSeaData(h);
    usleep(1200000);
    NotifyCapture capture(osg::WARN);
    h.frame(3);
    EXPECT_NE(sea->getOcean(), nullptr);
    EXPECT_TRUE(capture.linesWith("Sea").empty()) << capture.all();
}
