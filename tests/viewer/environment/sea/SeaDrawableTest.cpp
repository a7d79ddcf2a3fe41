#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/sea/SeaDrawable.h"

#include <osg/Geometry>
#include <osg/Math>
#include <osg/MatrixTransform>
#include <osg/Texture2D>
#include <osgDB/WriteFile>

#include <cstdio>
#include <cstdlib>
#include <string>

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

// Two squares 10 m wide 100 m ahead, left and right, unlit, sharing one geometry's buffers.
// Their texture (pure green) lies on the scene above them and the sea, so the toolkit binds it
// once for both: the left square is drawn just before the sea, the right one just after it.
void addGreenSquaresAroundTheSea(osg::Group* scene)
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(2, 2, 1, GL_RGB, GL_UNSIGNED_BYTE);
    for (int i = 0; i < 4; ++i)
    {
        image->data()[3 * i] = 0;
        image->data()[3 * i + 1] = 255;
        image->data()[3 * i + 2] = 0;
    }
    osg::StateSet* shared = scene->getOrCreateStateSet();
    shared->setTextureAttributeAndModes(0, new osg::Texture2D(image));
    shared->setMode(GL_CULL_FACE, osg::StateAttribute::OFF);

    osg::ref_ptr<osg::Geometry> left =
        osg::createTexturedQuadGeometry(osg::Vec3(-15, 100, 15), osg::Vec3(10, 0, 0), osg::Vec3(0, 0, 10));
    left->setUseDisplayList(false);
    left->setUseVertexBufferObjects(true);
    osg::ref_ptr<osg::Geometry> right = new osg::Geometry(*left, osg::CopyOp::SHALLOW_COPY);
    osg::ref_ptr<osg::MatrixTransform> shift = new osg::MatrixTransform(osg::Matrix::translate(20, 0, 0));
    scene->addChild(shift);
    const int bins[2] = {4, 6}; // the sea's bin is 5
    osg::Group* parents[2] = {scene, shift.get()};
    osg::Geometry* squares[2] = {left.get(), right.get()};
    for (int i = 0; i < 2; ++i)
    {
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->addDrawable(squares[i]);
        geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
        geode->getOrCreateStateSet()->setRenderBinDetails(bins[i], "RenderBin");
        parents[i]->addChild(geode);
    }
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

// The library binds buffers and textures of its own while it starts and draws. Textured
// squares with buffer objects, drawn just before the sea and just after it, both show their
// texture: in the frame in which the sea starts and in a later one, with the start-up working
// and failing (no wash.tga).
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
        addGreenSquaresAroundTheSea(h.scene());
        h.frame();
        osgTAVRI::SeaDrawable* sea = findSea(h.scene());
        ASSERT_NE(sea, nullptr);
        EXPECT_EQ(sea->getOcean(), nullptr) << "not started yet";
        for (double t : {1.0, 2.0})
        {
            osg::ref_ptr<osg::Image> image = h.readPixels(t);
            ASSERT_TRUE(image.valid());
            EXPECT_EQ(sea->getOcean() != nullptr, complete);
            // Green: textured; white would be a square without its texture.
            for (int x : {131, 188})
            {
                const osg::Vec3i p = pixel(image.get(), x, 120);
                EXPECT_TRUE(p.y() > 150 && p.x() < 60 && p.z() < 60)
                    << "frame " << t << ", x " << x << ": " << p.x() << "," << p.y() << "," << p.z();
            }
        }
    }
}

// Shaded at a fraction of the width and height and scaled up over the view, the sea looks as
// it does at full size, and stays hidden behind what stands in front of it; in a large
// multisampled window too, whose depth cannot be copied at another size directly.
TEST(SeaDrawable, ShadedAtReducedSizeItLooksAsAtFullSizeAndStaysBehindTheScene)
{
    for (const std::string samples : {"0", "4"})
    {
        const int width = samples == "0" ? 320 : 1024, height = samples == "0" ? 240 : 768;
        ViewerHarness h;
        installSeaData(h);
        std::string configuration = waterConfiguration(eye, ahead);
        const std::string window = "width=\"320\" height=\"240\" numSamples=\"0\"";
        configuration.replace(configuration.find(window), window.size(),
                              "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
                                  "\" numSamples=\"" + samples + "\"");
        h.writeConfiguration(configuration);
        h.setup();
        // A yellow block standing in the water 150 m ahead, its lower half under water.
        h.scene()->addChild(unlitBox(osg::Vec3(0.0f, 150.0f, 0.0f), 20.0f, osg::Vec4(1, 1, 0, 1)));
        h.frame(3);
        osgTAVRI::SeaDrawable* sea = findSea(h.scene());
        ASSERT_NE(sea, nullptr);
        sea->setShading(osgTAVRI::SeaDrawable::Shading::full);
        osg::ref_ptr<osg::Image> full = h.readPixels(10.0);
        EXPECT_FALSE(sea->wasReduced());
        sea->setShading(osgTAVRI::SeaDrawable::Shading::reduced);
        osg::ref_ptr<osg::Image> reduced = h.readPixels(10.0);
        EXPECT_TRUE(sea->wasReduced()) << samples << " samples";
        ASSERT_TRUE(full.valid() && reduced.valid());
        ASSERT_EQ(full->s(), width);
        osgDB::writeImageFile(*full, buildDir() + "/sea-shading-full-" + samples + ".png");
        osgDB::writeImageFile(*reduced, buildDir() + "/sea-shading-reduced-" + samples + ".png");

        const osg::Vec3i yellow(255, 255, 0);
        const int edge = osgTAVRI::SeaDrawable::reducedShadingDivisor;
        auto inside = [&](int x, int y) {
            for (int j = -edge; j <= edge; ++j)
                for (int i = -edge; i <= edge; ++i)
                    if (x + i < 0 || x + i >= width || y + j < 0 || y + j >= height ||
                        pixel(full.get(), x + i, y + j) != yellow)
                        return false;
            return true;
        };
        long difference = 0, block = 0, blockKept = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
            {
                const osg::Vec3i a = pixel(full.get(), x, y), b = pixel(reduced.get(), x, y);
                for (int c = 0; c < 3; ++c)
                    difference += std::abs(a[c] - b[c]);
                if (inside(x, y))
                {
                    ++block;
                    blockKept += b == yellow;
                }
            }
        EXPECT_LT(double(difference) / (width * height * 3.0), 3.0) << "mean difference per channel, " << samples
                                                                     << " samples";
        // The sea, shaded in blocks of a few pixels, reaches at most a block into the yellow.
        EXPECT_GT(block, 500);
        EXPECT_EQ(blockKept, block) << samples << " samples";
    }
}
