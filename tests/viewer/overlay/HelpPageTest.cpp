#include "tests/viewer/overlay/OverlayFixture.h"

#include "viewer/overlay/HelpPage.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/overlay/SnapshotNode.h"

#include <osgText/Text>

#include <algorithm>
#include <numeric>
#include <map>

namespace HelpPage = osgTAVRI::HelpPage;
using tavritest::ViewerHarness;

namespace
{
const int width = 1024, height = 768;

osgTAVRI::SnapshotNode* page(ViewerHarness& h)
{
    return dynamic_cast<osgTAVRI::SnapshotNode*>(h.overlayController()->getHelpTextTransform()->getChild(0));
}

// The page's lower left corner in the window.
osg::Vec2i pageCorner(ViewerHarness& h)
{
    const osg::Vec3d corner = h.overlayController()->getHelpTextTransform()->getMatrix().getTrans();
    return osg::Vec2i(int(corner.x()), int(corner.y()) - osgTAVRI::HelpPage::pageHeight());
}

osgText::Text* keyColumn(ViewerHarness& h)
{
    osg::Group* content = page(h)->getContent()->asGroup();
    return static_cast<osgText::Text*>(content->getChild(content->getNumChildren() - 1)->asGeode()->getDrawable(0));
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> found;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        found.push_back(text.substr(start, end - start));
    found.push_back(text.substr(start));
    return found;
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

TEST(HelpPage, ListsWhatEveryKeyDoesInSwedish)
{
    const std::vector<std::string> keys = lines(HelpPage::keyColumn());
    const std::vector<std::string> descriptions = lines(HelpPage::descriptionColumn());
    ASSERT_EQ(keys.size(), descriptions.size() + 3);
    std::map<std::string, std::string> page;
    for (size_t i = 0; i < descriptions.size(); ++i)
        page[keys[i]] = descriptions[i];
    for (const char* key : {"Tab", "Mellanslag", "M", "F1", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12", "Escape"})
        EXPECT_FALSE(page[key].empty()) << key << " is not on the page";
    EXPECT_EQ(page["Mellanslag"], "Gå tillbaka till startvyn");
    EXPECT_EQ(page["F3"], "Spara vyn och inställningarna");
    EXPECT_EQ(page["F10"], "Visa statistik");
    EXPECT_EQ(keys.back(), "Tryck F1 för att stänga fönstret");
    // The page grows with its lines: 24 lines fill 500 pixels.
    EXPECT_EQ(HelpPage::pageHeight(), 500 + 18 * static_cast<int>(keys.size() - 24));
}

// The stock handlers bind more keys than the page lists: Shift+S would print a statistics
// report, Shift+C would write a screenshot at every frame.
TEST(HelpPage, KeysThatAreNotOnThePageDoNothing)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, 320, 240);
    const std::vector<std::string> before = tavritest::listDir(h.rootDir());
    tavritest::NotifyCapture capture(osg::INFO);
    for (int key : {'S', 'C'})
    {
        h.key(key, osgGA::GUIEventAdapter::MODKEY_SHIFT);
        h.frame(3);
    }
    EXPECT_TRUE(capture.texts(osg::NOTICE).empty()) << capture.all();
    EXPECT_EQ(tavritest::listDir(h.rootDir()), before);
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
    // Inside the panel (112..912, about 100..660), left of the descriptions and between lines.
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
    page(h)->redraw();
    h.frame();
    osg::ref_ptr<osg::Image> withO = h.readPixels();
    const std::vector<osg::Vec2i> changed = differences(shown.get(), withO.get());
    ASSERT_GT(changed.size(), 10u) << "an ö draws like an o";
    // The last line's baseline: 50 below the top of the page, then a line of 18 pixels each.
    const int lastLine = static_cast<int>(lines(HelpPage::keyColumn()).size()) - 1;
    const int baseline = pageCorner(h).y() + HelpPage::pageHeight() - 50 - lastLine * 18;
    // Only the dots above the x-height differ; a wrong encoding would shift the whole line.
    const auto outside = std::find_if(changed.begin(), changed.end(), [baseline](const osg::Vec2i& p) {
        return p.y() < baseline + 8 || p.y() > baseline + 18 || p.x() > width / 2 - 400 + 50 + 300;
    });
    EXPECT_EQ(outside, changed.end()) << "changed at " << outside->x() << ", " << outside->y();
}

// Drawn once into an image, the page costs one quad a frame and looks as its texts drawn
// straight into the window do: the same light in the same places. The image is drawn into
// its own buffer, where the glyphs' edges come out a little sharper; averaged over blocks of
// 8 x 8 pixels the two pictures agree. The page stands clear of the coordinate readout, with
// which the two would be blended in different orders.
TEST(HelpPage, IsDrawnOnceAndLooksAsItsTextsDrawnDirectly)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, width, height);
    h.frame();
    osg::ref_ptr<osgTAVRI::SnapshotNode> snapshot = page(h);
    ASSERT_TRUE(snapshot.valid());
    EXPECT_TRUE(snapshot->isDrawn());
    EXPECT_EQ(snapshot->getChild(0)->getNodeMask(), 0u) << "the page is drawn at every frame";
    osg::ref_ptr<osg::Image> fromImage = h.readPixels();

    h.overlayController()->getHelpTextTransform()->replaceChild(snapshot.get(), snapshot->getContent());
    osg::ref_ptr<osg::Image> direct = h.readPixels();
    // Only the page: the readout beside it may be laid out again between the two frames.
    const int block = 8;
    const int pageWidth = 800, pageHeight = osgTAVRI::HelpPage::pageHeight();
    const int left = pageCorner(h).x(), bottom = pageCorner(h).y();
    EXPECT_GE(bottom, 8 + 90) << "the page lies on the readout";
    double worst = 0.0, lightFromImage = 0.0, lightDirect = 0.0;
    for (int y = bottom; y + block <= bottom + pageHeight; y += block)
        for (int x = left; x + block <= left + pageWidth; x += block)
            for (int c = 0; c < 3; ++c)
            {
                double a = 0.0, b = 0.0;
                for (int j = 0; j < block; ++j)
                    for (int i = 0; i < block; ++i)
                    {
                        a += fromImage->data(x + i, y + j)[c];
                        b += direct->data(x + i, y + j)[c];
                    }
                worst = std::max(worst, std::abs(a - b) / (block * block));
                lightFromImage += a;
                lightDirect += b;
            }
    EXPECT_LE(worst, 6.0);
    EXPECT_NEAR(lightFromImage / lightDirect, 1.0, 2e-4);

    // Texts and all: hidden, the page shows nothing of itself.
    h.key(osgGA::GUIEventAdapter::KEY_F1);
    EXPECT_GT(differences(direct.get(), h.readPixels().get()).size(), 20000u);
}

namespace
{
// Window pixels each quad of a geometry covers.
std::vector<double> quadAreas(const osg::Geometry* geometry)
{
    const osg::Vec3Array* vertices = static_cast<const osg::Vec3Array*>(geometry->getVertexArray());
    std::vector<double> areas;
    for (unsigned int i = 0; i + 3 < vertices->size(); i += 4)
        areas.push_back(((*vertices)[i + 1].x() - (*vertices)[i].x()) * ((*vertices)[i + 2].y() - (*vertices)[i].y()));
    return areas;
}

// Quads of the page's tiles, and how many of their edges inside the page are off the window's
// grid of tiles. The page's lower left corner lies at `corner` in the window.
std::pair<std::size_t, std::size_t> quadsOffGrid(const osg::Geode* tiles, const osg::Vec2i& corner)
{
    const int grid = osgTAVRI::SnapshotNode::tileSize, pageHeight = osgTAVRI::HelpPage::pageHeight();
    std::size_t quads = 0, offGrid = 0;
    for (unsigned int i = 0; i < tiles->getNumDrawables(); ++i)
    {
        const osg::Vec3Array* vertices =
            static_cast<const osg::Vec3Array*>(tiles->getDrawable(i)->asGeometry()->getVertexArray());
        quads += vertices->size() / 4;
        for (const osg::Vec3& v : *vertices)
        {
            const int x = static_cast<int>(v.x()), y = static_cast<int>(v.y()) + pageHeight;
            offGrid += x > 0 && x < 800 && (corner.x() + x) % grid != 0;
            offGrid += y > 0 && y < pageHeight && (corner.y() + y) % grid != 0;
        }
    }
    return {quads, offGrid};
}

// Pixels of the page that differ by more than one level in a colour.
std::size_t pagePixelsThatDiffer(ViewerHarness& h, const osg::Image* a, const osg::Image* b)
{
    const int left = pageCorner(h).x(), bottom = pageCorner(h).y();
    std::size_t differ = 0;
    for (int y = bottom; y < bottom + osgTAVRI::HelpPage::pageHeight(); ++y)
        for (int x = left; x < left + 800; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(a->data(x, y)[c]) - int(b->data(x, y)[c])) > 1)
                {
                    ++differ;
                    break;
                }
    return differ;
}
} // namespace

// Cut into tiles, the page draws its whole image's pixels to within a level over any
// background: one plain quad of the panel's colour under nearly all of it, and over that
// texture fetched only near the texts. Drawn again or moved, it is cut again.
TEST(HelpPage, TilesDrawTheWholeImagesPixelsAndTextureOnlyTheTexts)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, width, height);
    h.frame();
    osg::ref_ptr<osgTAVRI::SnapshotNode> snapshot = page(h);
    ASSERT_TRUE(snapshot.valid());
    osg::ref_ptr<osg::Image> tiled = h.readPixels();
    osg::ref_ptr<osg::Geode> tiles = snapshot->getQuad();
    ASSERT_EQ(tiles->getNumDrawables(), 2u) << "plain and textured tiles";
    const double pageArea = 800.0 * osgTAVRI::HelpPage::pageHeight();
    std::vector<double> plainAreas = quadAreas(tiles->getDrawable(0)->asGeometry());
    const std::vector<double> texturedAreas = quadAreas(tiles->getDrawable(1)->asGeometry());
    ASSERT_TRUE(tiles->getDrawable(1)->asGeometry()->getTexCoordArray(0));
    ASSERT_FALSE(plainAreas.empty());
    EXPECT_GT(plainAreas.front(), 0.9 * pageArea) << "no panel under the page";
    const double plainArea = std::accumulate(plainAreas.begin() + 1, plainAreas.end(), 0.0);
    const double texturedArea = std::accumulate(texturedAreas.begin(), texturedAreas.end(), 0.0);
    EXPECT_LE(plainArea + texturedArea, pageArea);
    EXPECT_LT(plainArea, 0.1 * pageArea) << "the panel is drawn again over itself";
    EXPECT_GT(texturedArea, 0.1 * pageArea) << "the texts are not textured";
    EXPECT_LT(texturedArea, 0.35 * pageArea) << "more than the texts is textured";

    // Few large rectangles, cut along the window's grid: a software rasteriser shades the
    // blocks along every edge and diagonal twice. Before, the page was over 450 thin strips.
    const std::pair<std::size_t, std::size_t> cut = quadsOffGrid(tiles.get(), pageCorner(h));
    EXPECT_LT(cut.first, 200u);
    EXPECT_EQ(cut.second, 0u);

    snapshot->redraw();
    osg::ref_ptr<osg::Image> whole = h.readPixels();
    EXPECT_EQ(snapshot->getQuad()->getNumDrawables(), 1u) << "the old tiles show the new picture";
    osg::ref_ptr<osg::Image> tiledAgain = h.readPixels();
    EXPECT_NE(snapshot->getQuad(), tiles.get());
    EXPECT_EQ(snapshot->getQuad()->getNumDrawables(), 2u);
    EXPECT_EQ(pagePixelsThatDiffer(h, whole.get(), tiled.get()), 0u);
    EXPECT_EQ(pagePixelsThatDiffer(h, whole.get(), tiledAgain.get()), 0u);
    // The text layer holds over a light background as over the sky's.
    h.viewer().getCamera()->setClearColor(osg::Vec4(1.0f, 0.95f, 0.6f, 1.0f));
    snapshot->redraw();
    osg::ref_ptr<osg::Image> wholeOverLight = h.readPixels();
    osg::ref_ptr<osg::Image> tiledOverLight = h.readPixels();
    EXPECT_EQ(pagePixelsThatDiffer(h, wholeOverLight.get(), tiledOverLight.get()), 0u);
    EXPECT_GT(pagePixelsThatDiffer(h, whole.get(), wholeOverLight.get()), 100000u) << "the background did not change";

    // A new window size moves the page off the grid; it is cut again, as exactly.
    const osg::Vec2i before = pageCorner(h);
    h.resizeWindow(0, 0, width - 3, height - 1);
    h.injectResize(0, 0, width, height);
    h.frame(2);
    const osg::Vec2i moved = pageCorner(h);
    ASSERT_NE(moved.x() % 8, before.x() % 8) << "the page stayed on the old grid";
    osg::ref_ptr<osg::Geode> recut = snapshot->getQuad();
    EXPECT_EQ(recut->getNumDrawables(), 2u);
    EXPECT_EQ(quadsOffGrid(recut.get(), moved).second, 0u);
    osg::ref_ptr<osg::Image> movedTiles = h.readPixels();
    snapshot->redraw();
    osg::ref_ptr<osg::Image> movedWhole = h.readPixels();
    EXPECT_EQ(pagePixelsThatDiffer(h, movedWhole.get(), movedTiles.get()), 0u);
}
