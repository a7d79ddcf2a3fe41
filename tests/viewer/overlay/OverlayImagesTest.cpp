#include "tests/support/TestSupport.h"

#include <osgDB/ReadFile>

#include <string>

namespace
{
osg::ref_ptr<osg::Image> installed(const std::string& name)
{
    osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile(tavritest::distDir() + "/Resources/Images/" + name);
    EXPECT_TRUE(image.valid()) << name << " is not installed (make dist)";
    if (image.valid())
    {
        EXPECT_EQ(image->getPixelFormat(), static_cast<GLenum>(GL_RGBA)) << name;
    }
    return image;
}

unsigned char alpha(const osg::Image* image, int x, int y) { return image->data(x, y)[3]; }
} // namespace

// The compass stands on a transparent ground, and its red needle points to the top edge.
TEST(OverlayImages, TheCompassIsTransparentRoundItsRoseAndPointsNorthInRed)
{
    osg::ref_ptr<osg::Image> compass = installed("Compass.png");
    ASSERT_TRUE(compass.valid());
    ASSERT_EQ(compass->s(), compass->t());
    const int n = compass->s();
    for (int corner : {0, n - 1})
    {
        EXPECT_EQ(alpha(compass.get(), corner, 0), 0);
        EXPECT_EQ(alpha(compass.get(), corner, n - 1), 0);
    }
    int redAbove = 0, redBelow = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
        {
            const unsigned char* p = compass->data(x, y);
            if (p[3] > 200 && p[0] > 180 && p[1] < 90 && p[2] < 90)
                (y >= n / 2 - 2 ? redAbove : redBelow) += 1; // the needle's base lies on the centre
        }
    EXPECT_GT(redAbove, 20);
    EXPECT_EQ(redBelow, 0);
}

// The nine cells are cut from one drawing: where two cells meet, their border pixels agree,
// so a stretched panel shows no seam.
TEST(OverlayImages, PanelCellsMeetWithoutASeam)
{
    osg::ref_ptr<osg::Image> cells[9];
    for (int k = 0; k < 9; ++k)
    {
        cells[k] = installed("Panel_" + std::to_string(k) + ".png");
        ASSERT_TRUE(cells[k].valid());
        ASSERT_EQ(cells[k]->s(), 16);
        ASSERT_EQ(cells[k]->t(), 16);
    }
    EXPECT_EQ(alpha(cells[0].get(), 0, 0), 0) << "rounded corner";
    EXPECT_GT(alpha(cells[4].get(), 8, 8), 128) << "translucent, not clear";
    EXPECT_LT(alpha(cells[4].get(), 8, 8), 255) << "translucent, not opaque";
    for (int k = 0; k < 9; ++k)
        for (int i = 0; i < 16; ++i)
        {
            if (k % 3 < 2)
            {
                EXPECT_NEAR(alpha(cells[k].get(), 15, i), alpha(cells[k + 1].get(), 0, i), 40) << k << " right " << i;
            }
            if (k / 3 < 2)
            {
                EXPECT_NEAR(alpha(cells[k].get(), i, 15), alpha(cells[k + 3].get(), i, 0), 40) << k << " up " << i;
            }
        }
}
