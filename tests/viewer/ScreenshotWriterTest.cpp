#include "tests/support/TestSupport.h"

#include "viewer/ScreenshotWriter.h"

#include <osg/Image>

using tavritest::TempDir;

// Shots already in the folder, from earlier runs or another program, are never overwritten:
// the numbering goes on past them, and past gaps it leaves alone.
TEST(ScreenshotWriter, NumbersOnPastTheShotsAlreadyThere)
{
    TempDir dir;
    tavritest::writeFile(dir.file("TAVRIview_0_0.jpg"), "yesterday");
    tavritest::writeFile(dir.file("TAVRIview_0_1.jpg"), "yesterday");
    tavritest::writeFile(dir.file("TAVRIview_0_3.jpg"), "yesterday");
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(8, 8, 1, GL_RGB, GL_UNSIGNED_BYTE);
    std::fill(image->data(), image->data() + image->getTotalSizeInBytes(), 200);

    osg::ref_ptr<osgTAVRI::ScreenshotWriter> writer = new osgTAVRI::ScreenshotWriter(dir.file("TAVRIview"));
    for (int shot = 0; shot < 3; ++shot)
        (*writer)(*image, 0);
    (*writer)(*image, 1);

    EXPECT_EQ(tavritest::listDir(dir.path()),
              (std::vector<std::string>{"TAVRIview_0_0.jpg", "TAVRIview_0_1.jpg", "TAVRIview_0_2.jpg",
                                        "TAVRIview_0_3.jpg", "TAVRIview_0_4.jpg", "TAVRIview_0_5.jpg",
                                        "TAVRIview_1_0.jpg"}));
    for (const char* old : {"TAVRIview_0_0.jpg", "TAVRIview_0_1.jpg", "TAVRIview_0_3.jpg"})
        EXPECT_EQ(tavritest::readFile(dir.file(old)), "yesterday") << old;
    EXPECT_EQ(tavritest::readFile(dir.file("TAVRIview_0_2.jpg")).substr(0, 2), "\xFF\xD8") << "a JPEG";
}
