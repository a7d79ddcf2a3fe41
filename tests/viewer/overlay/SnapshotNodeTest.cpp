#include "viewer/overlay/SnapshotNode.h"

#include <osg/Geometry>
#include <osg/Texture2D>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
const unsigned char panel[4] = {14, 20, 30, 184}; // premultiplied, as the help page's

// A 64 x 48 page: the translucent panel with transparent corners, and a block of "text"
// where white covers the panel by degrees.
osg::ref_ptr<osg::Image> makePage()
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(64, 48, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
        {
            unsigned char* p = image->data(x, y);
            std::memcpy(p, panel, 4);
            if ((x < 4 || x >= 60) && (y < 4 || y >= 44))
                std::memset(p, 0, 4);
            if (x >= 20 && x < 40 && y >= 16 && y < 24)
            {
                const double cover = (x - 20) / 19.0;
                for (int k = 0; k < 4; ++k)
                    p[k] = static_cast<unsigned char>(std::lround(255.0 * cover + panel[k] * (1.0 - cover)));
            }
        }
    return image;
}
} // namespace

// The page's panel is one plain quad under all it can lie under; over it, a layer of what
// differs, which shows every pixel of the page over any background to within the framebuffer's
// rounding. Tiles the panel cannot lie under (the transparent corners) are drawn as before.
TEST(SnapshotNode, TilesLayerThePageOverOnePanelQuad)
{
    osg::ref_ptr<osg::Image> page = makePage();
    osg::ref_ptr<osg::Geode> tiles = osgTAVRI::SnapshotNode::makeTiles(*page, 0, 0);
    ASSERT_EQ(tiles->getNumDrawables(), 2u);
    const osg::Geometry* plain = tiles->getDrawable(0)->asGeometry();
    const osg::Vec3Array* corners = static_cast<const osg::Vec3Array*>(plain->getVertexArray());
    const osg::Vec4Array* colours = static_cast<const osg::Vec4Array*>(plain->getColorArray());
    // Between the columns of the corner tiles, all the page's height.
    EXPECT_EQ((*corners)[0], osg::Vec3(8.0f, 0.0f, 0.0f));
    EXPECT_EQ((*corners)[2], osg::Vec3(56.0f, 48.0f, 0.0f));
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR((*colours)[0][k] * 255.0f, panel[k], 1e-3);
    EXPECT_EQ(corners->size(), 4u * 3u) << "panel and the two columns of plain tiles beside it";

    const osg::StateSet* state = tiles->getDrawable(1)->getStateSet();
    const osg::Image* layer =
        static_cast<const osg::Texture2D*>(state->getTextureAttribute(0, osg::StateAttribute::TEXTURE))->getImage();
    ASSERT_TRUE(layer);
    double worst = 0.0;
    for (int y = 0; y < 48; ++y)
        for (int x = 8; x < 56; ++x)
        {
            const unsigned char* p = page->data(x, y);
            const unsigned char* t = layer->data(x, y);
            if (std::equal(p, p + 4, panel))
            {
                EXPECT_EQ(t[3], 0) << "the layer covers the plain panel at " << x << ", " << y;
            }
            for (const double background : {0.0, 90.0, 255.0})
                for (int k = 0; k < 3; ++k)
                {
                    const double under = panel[k] + (255.0 - panel[3]) / 255.0 * background;
                    const double shown = t[k] + (255.0 - t[3]) / 255.0 * under;
                    worst = std::max(worst, std::abs(shown - (p[k] + (255.0 - p[3]) / 255.0 * background)));
                }
        }
    EXPECT_LE(worst, 1.5);
    EXPECT_GT(worst, 0.0) << "no text in the layer";
}
