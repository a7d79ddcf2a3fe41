#include "tests/support/TestSupport.h"

#include "viewer/overlay/ImagePanel.h"

#include <osg/Geode>
#include <osg/Geometry>

namespace ImagePanel = osgTAVRI::ImagePanel;

namespace
{
struct Cell
{
    float x0, y0, x1, y1;
};

// The rectangle that child k of the panel covers, checked to be one flat quad behind depth 0.
Cell cell(osg::Group* panel, unsigned int k)
{
    osg::Geometry* geometry = panel->getChild(k)->asGeode()->getDrawable(0)->asGeometry();
    const osg::Vec3Array& v = *static_cast<const osg::Vec3Array*>(geometry->getVertexArray());
    EXPECT_EQ(v.size(), 4u);
    for (const osg::Vec3& p : v)
        EXPECT_FLOAT_EQ(p.z(), -0.1f);
    EXPECT_EQ(v[0].y(), v[1].y());
    EXPECT_EQ(v[1].x(), v[2].x());
    EXPECT_EQ(v[2].y(), v[3].y());
    EXPECT_EQ(v[3].x(), v[0].x());
    return {v[0].x(), v[0].y(), v[2].x(), v[2].y()};
}

void expectCell(osg::Group* panel, unsigned int k, float x0, float y0, float x1, float y1)
{
    const Cell c = cell(panel, k);
    EXPECT_FLOAT_EQ(c.x0, x0) << "cell " << k;
    EXPECT_FLOAT_EQ(c.y0, y0) << "cell " << k;
    EXPECT_FLOAT_EQ(c.x1, x1) << "cell " << k;
    EXPECT_FLOAT_EQ(c.y1, y1) << "cell " << k;
}
} // namespace

// Made where there are no cell images (the test's working folder): the cells draw without
// them, and that is not reported.
TEST(ImagePanel, At32By32OnlyTheFourCornersHaveArea)
{
    tavritest::NotifyCapture notes;
    osg::ref_ptr<osg::Group> panel = ImagePanel::makePanel(32, 32, osg::Vec4(1, 1, 1, 1));
    ASSERT_TRUE(panel.valid());
    EXPECT_TRUE(notes.texts(osg::INFO).empty()) << notes.all();
    ASSERT_EQ(panel->getNumChildren(), 9u);
    expectCell(panel.get(), 0, 0, 0, 16, 16);
    expectCell(panel.get(), 2, 16, 0, 32, 16);
    expectCell(panel.get(), 6, 0, 16, 16, 32);
    expectCell(panel.get(), 8, 16, 16, 32, 32);
    for (unsigned int k : {1u, 3u, 4u, 5u, 7u})
    {
        const Cell c = cell(panel.get(), k);
        EXPECT_EQ((c.x1 - c.x0) * (c.y1 - c.y0), 0.0f) << "cell " << k;
    }
}

// Corners stay 16 x 16; the cells tile the panel from (0, 0) to (200, 90) without gaps.
TEST(ImagePanel, At200By90TheEdgesAndCentreStretch)
{
    osg::ref_ptr<osg::Group> panel = ImagePanel::makePanel(32, 32, osg::Vec4(1, 1, 1, 1));
    ImagePanel::resizePanel(panel.get(), 200, 90);
    expectCell(panel.get(), 0, 0, 0, 16, 16);
    expectCell(panel.get(), 1, 16, 0, 184, 16);
    expectCell(panel.get(), 2, 184, 0, 200, 16);
    expectCell(panel.get(), 3, 0, 16, 16, 74);
    expectCell(panel.get(), 4, 16, 16, 184, 74);
    expectCell(panel.get(), 5, 184, 16, 200, 74);
    expectCell(panel.get(), 6, 0, 74, 16, 90);
    expectCell(panel.get(), 7, 16, 74, 184, 90);
    expectCell(panel.get(), 8, 184, 74, 200, 90);
    // Culling must see the new size at once.
    EXPECT_NEAR(panel->getBound().center().x(), 100.0f, 1e-3);

    // Too small a size is ignored quietly and the panel keeps its layout.
    tavritest::NotifyCapture notes;
    ImagePanel::resizePanel(panel.get(), 31, 500);
    ImagePanel::resizePanel(panel.get(), 500, 31);
    expectCell(panel.get(), 4, 16, 16, 184, 74);
    EXPECT_TRUE(notes.texts(osg::INFO).empty());
}

TEST(ImagePanel, ASideBelow32MakesNoPanel)
{
    tavritest::NotifyCapture notes;
    EXPECT_EQ(ImagePanel::makePanel(31, 100, osg::Vec4(1, 1, 1, 1)), nullptr);
    EXPECT_EQ(notes.linesWith("Invalid size for panel, must be a minimum 32 x 32 pixels").size(), 1u);
    EXPECT_TRUE(notes.contains("Invalid size for panel", osg::WARN));
}

// The cells are rewritten after creation: no display list may freeze them, and every node
// of the panel is marked as changing.
TEST(ImagePanel, CellsAreDynamicAndDrawnWithoutDisplayLists)
{
    osg::ref_ptr<osg::Group> panel = ImagePanel::makePanel(64, 48, osg::Vec4(0.5f, 1, 1, 0.5f));
    EXPECT_EQ(panel->getDataVariance(), osg::Object::DYNAMIC);
    const osg::StateSet* state = panel->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->getRenderingHint(), osg::StateSet::TRANSPARENT_BIN);
    EXPECT_EQ(state->getMode(GL_BLEND) & osg::StateAttribute::ON, osg::StateAttribute::ON);
    for (unsigned int k = 0; k < 9; ++k)
    {
        osg::Geode* geode = panel->getChild(k)->asGeode();
        EXPECT_EQ(geode->getDataVariance(), osg::Object::DYNAMIC);
        osg::Geometry* geometry = geode->getDrawable(0)->asGeometry();
        EXPECT_FALSE(geometry->getUseDisplayList());
        const osg::Vec4Array* colours = static_cast<const osg::Vec4Array*>(geometry->getColorArray());
        ASSERT_EQ(colours->size(), 1u);
        EXPECT_EQ((*colours)[0], osg::Vec4(0.5f, 1, 1, 0.5f));
    }
}
