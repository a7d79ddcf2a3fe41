#include "tests/viewer/overlay/OverlayFixture.h"

#include "viewer/overlay/HelpPage.h"
#include "viewer/overlay/OverlayController.h"

#include <osgText/Text>

#include <algorithm>

using osgTAVRI::HelpPage;
using tavritest::ViewerHarness;

namespace
{
const int width = 1024, height = 768;

size_t countLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n') + 1; }

osgText::Text* keyColumn(ViewerHarness& h)
{
    return static_cast<osgText::Text*>(tavritest::childGeode(h.overlayController()->getHelpTextTransform())->getDrawable(0));
}

// Pixels whose colour differs between two captures, as (x, y) from the lower left.
std::vector<osg::Vec2i> differences(const osg::Image* a, const osg::Image* b)
{
    std::vector<osg::Vec2i> found;
    for (int y = 0; y < a->t(); ++y)
        for (int x = 0; x < a->s(); ++x)
            if (!std::equal(a->data(x, y), a->data(x, y) + 3, b->data(x, y)))
                found.push_back(osg::Vec2i(x, y));
    return found;
}

bool samePixel(const osg::Image* image, int x, int y, const osg::Vec4& colour)
{
    const unsigned char* p = image->data(x, y);
    for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - static_cast<int>(colour[c] * 255.0f + 0.5f)) > 1)
            return false;
    return true;
}
} // namespace

TEST(HelpPage, HasTheKeyAndDescriptionColumnsInSwedish)
{
    EXPECT_EQ(countLines(HelpPage::keyColumn()), 24u);
    EXPECT_EQ(countLines(HelpPage::descriptionColumn()), 21u);
    // Counted in characters, each Swedish letter one.
    EXPECT_EQ(osgText::String(HelpPage::keyColumn(), osgText::String::ENCODING_UTF8).size(), 160u);
    EXPECT_EQ(osgText::String(HelpPage::descriptionColumn(), osgText::String::ENCODING_UTF8).size(), 373u);
    EXPECT_EQ(HelpPage::keyColumn().substr(HelpPage::keyColumn().rfind('\n') + 1), "Tryck F1 för att stänga fönstret");
}

// The page covers the middle of the window from the first frame and F1 takes it away and
// back. Its "ö" is the font's ö: written as "o" only the dots go, nothing else moves.
TEST(HelpPage, ShowsAtStartHidesOnF1AndDrawsItsSwedishLetters)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, width, height);
    const osg::Vec4 background = h.viewer().getCamera()->getClearColor();
    osg::ref_ptr<osg::Image> shown = h.readPixels();
    ASSERT_TRUE(shown.valid());
    ASSERT_EQ(shown->s(), width);
    // Inside the panel (112..912, 134..634), left of the descriptions and between lines.
    const int px = 140, py = 400;
    EXPECT_FALSE(samePixel(shown.get(), px, py, background));

    h.key(osgGA::GUIEventAdapter::KEY_F1);
    osg::ref_ptr<osg::Image> hidden = h.readPixels();
    EXPECT_TRUE(samePixel(hidden.get(), px, py, background));
    EXPECT_TRUE(samePixel(hidden.get(), width / 2, height / 2, background));
    EXPECT_EQ(h.overlayController()->getHelpPanelTransform()->getNodeMask(), 0u);
    EXPECT_EQ(h.overlayController()->getHelpTextTransform()->getNodeMask(), 0u);

    h.key(osgGA::GUIEventAdapter::KEY_F1);
    osg::ref_ptr<osg::Image> again = h.readPixels();
    EXPECT_TRUE(differences(shown.get(), again.get()).empty());

    // The drawable holds one character per letter: ö (U+00F6), never its two UTF-8 bytes.
    const osgText::String& text = keyColumn(h)->getText();
    EXPECT_NE(std::find(text.begin(), text.end(), 0xF6u), text.end());
    EXPECT_EQ(std::find(text.begin(), text.end(), 0xC3u), text.end());

    std::string plain = HelpPage::keyColumn();
    for (size_t at; (at = plain.find("ö")) != std::string::npos;)
        plain.replace(at, std::string("ö").size(), "o");
    keyColumn(h)->setText(plain, osgText::String::ENCODING_UTF8);
    osg::ref_ptr<osg::Image> withO = h.readPixels();
    const std::vector<osg::Vec2i> changed = differences(shown.get(), withO.get());
    ASSERT_GT(changed.size(), 10u) << "an ö draws like an o";
    // The last line's baseline: 50 below the top of the page, then 23 lines of 18 pixels.
    const int baseline = (height / 2 + 250) - 50 - 23 * 18;
    // Only the dots above the x-height differ; a wrong encoding would shift the whole line.
    const auto outside = std::find_if(changed.begin(), changed.end(), [baseline](const osg::Vec2i& p) {
        return p.y() < baseline + 8 || p.y() > baseline + 18 || p.x() > width / 2 - 400 + 50 + 300;
    });
    EXPECT_EQ(outside, changed.end()) << "changed at " << outside->x() << ", " << outside->y();
}
