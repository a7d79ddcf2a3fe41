#include "tests/viewer/environment/WaterFixture.h"

#include <osg/ClearNode>
#include <osg/Depth>

using namespace tavritest;

namespace
{
bool isBackground(const osg::Vec3i& p) { return p.x() > 240 && p.y() < 20 && p.z() < 20; }
} // namespace

// A blue box 40 km away, beyond the sky sphere's radius of 30 km, stays in front of the sky;
// the sky covers the red background everywhere else. Without water there is no sky.
TEST(SkyBox, CoversTheBackgroundAndNeverHidesAModelBeyondItsRadius)
{
    const osg::Vec3d eye(0, 0, 100), centre(0, 40000, 3000);
    for (bool water : {true, false})
    {
        ViewerHarness h;
        installSeaData(h);
        h.writeConfiguration(waterConfiguration(eye, centre, water));
        h.setup();
        h.scene()->addChild(unlitBox(osg::Vec3(centre), 4000.0f, osg::Vec4(0, 0, 1, 1)));
        h.frame(3);
        osg::ref_ptr<osg::Image> image = h.readPixels();
        ASSERT_TRUE(image.valid());
        EXPECT_EQ(pixel(image.get(), 160, 120), osg::Vec3i(0, 0, 255)) << "water " << water;
        for (osg::Vec2i corner : {osg::Vec2i(5, 234), osg::Vec2i(314, 234), osg::Vec2i(160, 234)})
        {
            const osg::Vec3i p = pixel(image.get(), corner.x(), corner.y());
            if (water)
            {
                EXPECT_FALSE(isBackground(p)) << corner.x() << "," << corner.y();
                EXPECT_GT(p.z(), p.x()) << "a blue sky at " << corner.x() << "," << corner.y();
            }
            else
                EXPECT_TRUE(isBackground(p)) << corner.x() << "," << corner.y();
        }
    }
}

// F5 switches the scene's lighting off: the lit box changes, the sky around it does not.
TEST(SkyBox, F5LeavesTheSkyUnchanged)
{
    ViewerHarness h;
    installSeaData(h);
    // Looking up, so that only sky and the box are in view.
    h.writeConfiguration(waterConfiguration(osg::Vec3d(0, 0, 10), osg::Vec3d(0, 100, 70)));
    h.setup();
    osg::ref_ptr<osg::Geode> box = unlitBox(osg::Vec3(0.0f, 100.0f, 70.0f), 6.0f, osg::Vec4(1, 1, 1, 1));
    box->getOrCreateStateSet()->removeMode(GL_LIGHTING);
    h.scene()->addChild(box);
    h.frame(3);
    osg::ref_ptr<osg::Image> lit = h.readPixels();
    h.key(osgGA::GUIEventAdapter::KEY_F5);
    osg::ref_ptr<osg::Image> unlit = h.readPixels();
    ASSERT_TRUE(lit.valid() && unlit.valid());
    EXPECT_NE(pixel(lit.get(), 160, 120), pixel(unlit.get(), 160, 120)) << "F5 reached the box";
    int changed = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if ((x < 120 || x > 200 || y < 80 || y > 160) && pixel(lit.get(), x, y) != pixel(unlit.get(), x, y))
                ++changed;
    EXPECT_EQ(changed, 0);
    EXPECT_FALSE(isBackground(pixel(unlit.get(), 10, 10)));
}
