#include "tests/viewer/overlay/OverlayFixture.h"

#include "viewer/environment/EnvironmentController.h"
#include "viewer/overlay/HelpPage.h"
#include "viewer/overlay/Logo.h"
#include "viewer/overlay/OverlayController.h"
#include "viewer/overlay/SnapshotNode.h"

#include <osg/Geometry>
#include <osg/Switch>
#include <osgText/Text>

#include <filesystem>

using osgTAVRI::OverlayController;
using tavritest::ViewerHarness;
using tavritest::origin;

namespace
{
// Lower left and upper right corner of the panel below a transform, in window pixels: the
// origin and the far corner of its upper right cell.
std::pair<osg::Vec2i, osg::Vec2i> panelExtent(const osg::MatrixTransform* transform)
{
    const osg::Group* panel = transform->getChild(0)->asGroup();
    const osg::Geometry* corner = panel->getChild(8)->asGeode()->getDrawable(0)->asGeometry();
    const osg::Vec3& far = (*static_cast<const osg::Vec3Array*>(corner->getVertexArray()))[2];
    const osg::Vec2i at = origin(transform);
    return {at, at + osg::Vec2i(static_cast<int>(far.x()), static_cast<int>(far.y()))};
}

osg::Vec2i textStart(osg::MatrixTransform* transform, unsigned int drawable)
{
    const osg::Group* page = static_cast<osgTAVRI::SnapshotNode*>(transform->getChild(0))->getContent()->asGroup();
    const osg::Geode* texts = page->getChild(page->getNumChildren() - 1)->asGeode();
    const osgText::Text* text = dynamic_cast<const osgText::Text*>(texts->getDrawable(drawable));
    return origin(transform) + osg::Vec2i(static_cast<int>(text->getPosition().x()), static_cast<int>(text->getPosition().y()));
}

// Which logo image shows: 0 for "Logo_light", 1 for "Logo_dark".
int logoVariant(OverlayController* overlay)
{
    osg::Switch* logo = dynamic_cast<osg::Switch*>(overlay->getLogoTransform()->getChild(0));
    EXPECT_NE(logo->getValue(0), logo->getValue(1));
    return logo->getValue(0) ? 0 : 1;
}
} // namespace

TEST(OverlayController, LaysOutAWindowOf1280By1024)
{
    ViewerHarness h;
    tavritest::startWithOverlay(h, 1280, 1024);
    OverlayController* overlay = h.overlayController();
    ASSERT_TRUE(overlay->isBuilt());
    ASSERT_EQ(overlay->getWindowWidth(), 1280);
    ASSERT_EQ(overlay->getWindowHeight(), 1024);

    osg::Camera* hud = overlay->getHudCamera();
    ASSERT_EQ(hud->getNumParents(), 1u);
    EXPECT_EQ(hud->getParent(0), h.overlay());
    EXPECT_EQ(hud->getRenderOrder(), osg::Camera::POST_RENDER);
    // Flat and drawn in order: nothing to clear, no depth test.
    EXPECT_EQ(hud->getClearMask(), 0u);
    EXPECT_EQ(hud->getStateSet()->getMode(GL_DEPTH_TEST), static_cast<osg::StateAttribute::GLModeValue>(osg::StateAttribute::OFF));
    EXPECT_EQ(hud->getReferenceFrame(), osg::Transform::ABSOLUTE_RF);
    EXPECT_EQ(hud->getViewport()->width(), 1280);
    EXPECT_EQ(hud->getProjectionMatrix(), osg::Matrixd::ortho2D(0, 1280, 0, 1024));
    // Readout panel, readout, compass, logo, legend, help page (its panel drawn into it), and
    // the recording mark, hidden until F8.
    EXPECT_EQ(hud->getNumChildren(), 7u);

    // 800 pixels wide, as high as its lines need (500 for 24), centred.
    const int page = osgTAVRI::HelpPage::pageHeight();
    EXPECT_EQ(panelExtent(overlay->getHelpPanelTransform()),
              std::make_pair(osg::Vec2i(240, 512 - page / 2), osg::Vec2i(1040, 512 - page / 2 + page)));
    EXPECT_EQ(textStart(overlay->getHelpTextTransform(), 0), osg::Vec2i(290, 512 - page / 2 + page - 50));
    EXPECT_EQ(textStart(overlay->getHelpTextTransform(), 1), osg::Vec2i(620, 512 - page / 2 + page - 50));
    EXPECT_EQ(panelExtent(overlay->getCoordinatePanelTransform()),
              std::make_pair(osg::Vec2i(8, 8), osg::Vec2i(208, 98)));
    EXPECT_EQ(origin(overlay->getCoordinateTextTransform()), osg::Vec2i(24, 24));
    ASSERT_EQ(overlay->getCompassSize(), 64);
    EXPECT_EQ(origin(overlay->getCompassTransform()), osg::Vec2i(40, 984));
    ASSERT_EQ(overlay->getLogoWidth(), 150);
    ASSERT_EQ(overlay->getLogoHeight(), 60);
    EXPECT_EQ(origin(overlay->getLogoTransform()), osg::Vec2i(1114, 956));
    EXPECT_EQ(origin(overlay->getLegendTransform()), osg::Vec2i(8, 512 - overlay->getLegendHeight() / 2));

    // A window manager resizes the window and sends the event; the layout takes the window's
    // size, and an odd size loses its half pixels.
    h.resizeWindow(0, 0, 801, 601);
    h.injectResize(0, 0, 1280, 1024);
    h.frame();
    ASSERT_EQ(overlay->getWindowWidth(), 801);
    EXPECT_EQ(origin(overlay->getHelpPanelTransform()), osg::Vec2i(0, 300 - page / 2));
    EXPECT_EQ(origin(overlay->getLogoTransform()), osg::Vec2i(801 - 150 - 16, 601 - 60 - 8));
    EXPECT_EQ(hud->getProjectionMatrix(), osg::Matrixd::ortho2D(0, 801, 0, 601));
}

TEST(OverlayController, TheLogoContrastsWithTheBackground)
{
    EXPECT_NEAR(osgTAVRI::Logo::luminance(osg::Vec4(0.5f, 0.5f, 0.5f, 1.0f)), 0.49995, 1e-9);

    // Without an Environment element the default light blue is there before the first layout.
    ViewerHarness h;
    tavritest::startWithOverlay(h, 320, 240);
    OverlayController* overlay = h.overlayController();
    EXPECT_EQ(logoVariant(overlay), 0);

    osg::Camera* camera = h.viewer().getCamera();
    const std::pair<osg::Vec4, int> cases[] = {{osg::Vec4(1, 1, 1, 1), 0},
                                               {osg::Vec4(0, 0, 0, 1), 1},
                                               {osg::Vec4(0.5f, 0.5f, 0.5f, 1), 1}};
    for (const auto& c : cases)
    {
        camera->setClearColor(c.first);
        overlay->layout(320, 240);
        EXPECT_EQ(logoVariant(overlay), c.second) << c.first.r();
    }
}

TEST(OverlayController, AConfiguredDarkBackgroundShowsTheDarkLogoFromTheFirstFrame)
{
    ViewerHarness h;
    tavritest::startWithOverlay(
        h, 320, 240, "<Environment backgroundColorRed=\"0.1\" backgroundColorGreen=\"0.1\" backgroundColorBlue=\"0.2\"/>");
    EXPECT_EQ(logoVariant(h.overlayController()), 1);
}

// Each missing resource takes only its own item away, with its own line; the viewer goes on.
TEST(OverlayController, AMissingResourceRemovesOnlyItsOwnItem)
{
    struct Case
    {
        const char* file;
        const char* line;
        osg::NotifySeverity severity;
    };
    const Case cases[] = {
        {"Fonts/arial.ttf", "Could not load font file", osg::WARN},
        {"Images/Compass.png", "Compass image not found", osg::WARN},
        {"Images/Logo_dark.png", "Error loading logo images, check existance of Logo_light and Logo_dark in /Images",
         osg::INFO},
        {"Images/Legend.png", "No legend image found", osg::INFO},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        ViewerHarness h;
        tavritest::installOverlayResources(h);
        std::filesystem::remove(h.resourcesDir() + "/" + c.file);
        h.writeConfiguration(tavritest::windowConfiguration(640, 480));
        tavritest::NotifyCapture notes(osg::INFO);
        h.setup();
        h.frame(3);
        EXPECT_TRUE(notes.contains(c.line, c.severity)) << notes.all();

        OverlayController* overlay = h.overlayController();
        const bool font = std::string(c.file) != "Fonts/arial.ttf";
        EXPECT_EQ(overlay->getHelpTextTransform() != nullptr, font);
        EXPECT_EQ(overlay->getHelpPanelTransform() != nullptr, font);
        // The readout loads the same font and says so in its own words.
        EXPECT_EQ(overlay->getCoordinateTextTransform() != nullptr, font);
        EXPECT_EQ(overlay->getCoordinatePanelTransform() != nullptr, font);
        EXPECT_EQ(notes.contains("Could not load coordinates font file", osg::WARN), !font);
        EXPECT_EQ(overlay->getCompassTransform() != nullptr, std::string(c.file) != "Images/Compass.png");
        EXPECT_EQ(overlay->getLogoTransform() != nullptr, std::string(c.file) != "Images/Logo_dark.png");
        EXPECT_EQ(overlay->getLegendTransform() != nullptr, std::string(c.file) != "Images/Legend.png");
        if (overlay->getLogoTransform())
        {
            EXPECT_EQ(origin(overlay->getLogoTransform()), osg::Vec2i(640 - 150 - 16, 480 - 60 - 8));
        }
        h.key(osgGA::GUIEventAdapter::KEY_F1);
        h.frame(2);
    }
}
