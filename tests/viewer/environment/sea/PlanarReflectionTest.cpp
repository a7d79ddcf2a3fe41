#include "tests/viewer/environment/WaterFixture.h"

#include "viewer/environment/sea/PlanarReflection.h"
#include "viewer/environment/sea/SeaDrawable.h"

#include <algorithm>

using namespace tavritest;

namespace
{
bool isRed(const unsigned char* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60 && p[3] > 200; }
bool isGreen(const unsigned char* p) { return p[1] > 200 && p[0] < 60 && p[2] < 60; }
} // namespace

// Eye 5 m above the sea, looking north along it. A red box floats above the water on the
// left, a green one lies under it on the right. The reflection texture holds the red box
// mirrored below the horizon and nothing else: not the green box (cut off below z = 0), not
// the sky and not the sea itself. On screen the water under the red box turns red.
TEST(PlanarReflection, AModelAboveTheWaterIsMirroredAndNothingBelowIt)
{
    ViewerHarness h;
    installSeaData(h);
    h.writeConfiguration(waterConfiguration(osg::Vec3d(0, 0, 5), osg::Vec3d(0, 100, 5)));
    h.setup();
    h.scene()->addChild(unlitBox(osg::Vec3(-20.0f, 100.0f, 10.0f), 8.0f, osg::Vec4(1, 0, 0, 1)));
    h.scene()->addChild(unlitBox(osg::Vec3(20.0f, 100.0f, -12.0f), 8.0f, osg::Vec4(0, 1, 0, 1)));
    h.frame(3);
    ASSERT_NE(findSea(h.scene()), nullptr);
    ASSERT_NE(findSea(h.scene())->getOcean(), nullptr);

    osg::ref_ptr<osg::Image> texture = readReflection(h);
    ASSERT_TRUE(texture.valid());
    ASSERT_EQ(texture->s(), 1024);
    ASSERT_EQ(texture->t(), 1024);
    int red = 0, redAbove = 0, green = 0, other = 0;
    for (int y = 0; y < texture->t(); ++y)
        for (int x = 0; x < texture->s(); ++x)
        {
            const unsigned char* p = texture->data(x, y);
            if (isRed(p))
            {
                ++red;
                redAbove += y > texture->t() / 2;
            }
            else if (isGreen(p))
                ++green;
            else if (p[3] != 0)
                ++other;
        }
    EXPECT_GT(red, 1000);
    EXPECT_EQ(redAbove, 0) << "the mirrored box lies below the horizon";
    EXPECT_EQ(green, 0) << "what lies under the water is not reflected";
    // Only the box's edges blend into the clear colour; the sea and the sky are not there.
    EXPECT_LT(other, red / 10);

    // On screen: the water below the red box against the same rows of open water beside it.
    osg::ref_ptr<osg::Image> screen = h.readPixels();
    ASSERT_TRUE(screen.valid());
    // The box itself: its columns and its lowest row.
    int left = 320, right = -1, bottom = 240;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (pixel(screen.get(), x, y) == osg::Vec3i(255, 0, 0))
            {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::min(bottom, y);
            }
    ASSERT_GT(right - left, 10);
    ASSERT_GT(bottom, 120);
    const int under = (left + right) / 2, open = under + 120;
    int redder = 0;
    for (int y = bottom - 55; y < bottom - 40; ++y)
    {
        const osg::Vec3i mirrored = pixel(screen.get(), under, y), water = pixel(screen.get(), open, y);
        redder += mirrored.x() - mirrored.z() > water.x() - water.z() + 40;
    }
    EXPECT_GE(redder, 10) << "the red box shows in the water under it";
}
