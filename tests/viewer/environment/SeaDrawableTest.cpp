#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/SeaDrawable.h"

#include <osg/Geometry>
#include <osg/Math>
#include <osg/Texture2D>

#include <cstdio>

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

// A square 10 m wide facing the eye 100 m ahead, textured pure green, unlit, its vertices in
// buffer objects; drawn after everything else in the main view, and before the sea in the
// reflection.
osg::ref_ptr<osg::Geode> greenTexturedSquare()
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(2, 2, 1, GL_RGB, GL_UNSIGNED_BYTE);
    for (int i = 0; i < 4; ++i)
    {
        image->data()[3 * i] = 0;
        image->data()[3 * i + 1] = 255;
        image->data()[3 * i + 2] = 0;
    }
    osg::ref_ptr<osg::Geometry> square =
        osg::createTexturedQuadGeometry(osg::Vec3(-5, 100, 15), osg::Vec3(10, 0, 0), osg::Vec3(0, 0, 10));
    square->setUseDisplayList(false);
    square->setUseVertexBufferObjects(true);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(square);
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setTextureAttributeAndModes(0, new osg::Texture2D(image));
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setMode(GL_CULL_FACE, osg::StateAttribute::OFF);
    state->setRenderBinDetails(10, "RenderBin");
    return geode;
}
} // namespace

// Below the horizon the sea covers the red background with water colours, and the waves move
// it from one moment to the next; above the horizon the sky stands still. The update callback
// is there from the start, so the scene graph does not change while it is drawn.
TEST(SeaDrawable, TheSeaFillsTheViewBelowTheHorizonAndMoves)
{
    ViewerHarness h;
    installSeaData(h);
    h.writeConfiguration(waterConfiguration(eye, ahead));
    h.setup();
    h.frame();
    osgTAVRI::SeaDrawable* sea = findSea(h.scene());
    ASSERT_NE(sea, nullptr);
    osg::Callback* callback = sea->getUpdateCallback();
    EXPECT_NE(callback, nullptr);
    h.frame(2);
    ASSERT_NE(sea->getOcean(), nullptr);
    EXPECT_EQ(sea->getUpdateCallback(), callback);
    // The configuration's 250 degrees reach the library in radians.
    EXPECT_DOUBLE_EQ(sea->getWindDirection(), osg::DegreesToRadians(250.0));

    osg::ref_ptr<osg::Image> first = h.readPixels(10.0);
    osg::ref_ptr<osg::Image> second = h.readPixels(10.4);
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

// Without the sea's data the viewer writes one line, draws the rest of the scene over the
// configured background and retries quietly; once the data is there, the next attempt starts
// the sea.
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
        for (double t = 1.0; t < 4.0; t += 0.3) // past several retry intervals
            h.viewer().frame(t);
        osg::ref_ptr<osg::Image> image = h.readPixels(4.0);
        ASSERT_TRUE(image.valid());
        EXPECT_EQ(pixel(image.get(), 160, 120), osg::Vec3i(0, 255, 0));
        EXPECT_EQ(pixel(image.get(), 160, 230), osg::Vec3i(255, 0, 0)) << "the configured background";
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
    NotifyCapture capture(osg::WARN);
    for (double t = 5.5; t < 6.0; t += 0.1)
        h.viewer().frame(t);
    EXPECT_NE(sea->getOcean(), nullptr);
    EXPECT_TRUE(capture.linesWith("Sea").empty()) << capture.all();
}

// What the library says about a start-up that worked shows once, as a warning: here that the
// wind direction of 400 degrees, over 2 pi in radians, may be meant in degrees.
TEST(SeaDrawable, ALibraryWarningAtStartUpShowsOnce)
{
    ViewerHarness h;
    installSeaData(h);
    h.writeConfiguration(waterConfiguration(eye, ahead, true, 400.0));
    NotifyCapture capture(osg::WARN);
    h.setup();
    h.frame(4);
    ASSERT_NE(findSea(h.scene())->getOcean(), nullptr);
    EXPECT_EQ(capture.linesWith("wind direction greater than 2PI").size(), 1u) << capture.all();
}

// The library binds buffers and textures of its own while it starts and draws. A textured
// model with buffer objects, drawn into the reflection before the sea and into the view after
// it, still shows its texture: with the sea's start-up working, and failing (no wash.tga).
TEST(SeaDrawable, AModelDrawnAfterTheSeaKeepsItsBuffersAndTexture)
{
    for (bool complete : {true, false})
    {
        SCOPED_TRACE(complete ? "sea started" : "start-up failed");
        ViewerHarness h;
        installSeaData(h);
        if (!complete)
            std::remove((h.resourcesDir() + "/Sea/wash.tga").c_str());
        h.writeConfiguration(waterConfiguration(eye, ahead));
        h.setup();
        h.scene()->addChild(greenTexturedSquare());
        for (double t = 1.0; t < 2.0; t += 0.25)
            h.viewer().frame(t);
        EXPECT_EQ(findSea(h.scene())->getOcean() != nullptr, complete);
        osg::ref_ptr<osg::Image> image = h.readPixels(2.0);
        ASSERT_TRUE(image.valid());
        // Green: textured; white would be the square without its texture.
        const osg::Vec3i p = pixel(image.get(), 160, 110);
        EXPECT_TRUE(p.y() > 150 && p.x() < 60 && p.z() < 60) << p.x() << "," << p.y() << "," << p.z();
    }
}
