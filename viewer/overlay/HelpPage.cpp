#include "viewer/overlay/HelpPage.h"

#include "viewer/overlay/OverlayResources.h"
#include "viewer/overlay/SnapshotNode.h"

#include <osg/MatrixTransform>
#include <osg/Notify>

#include <vector>

namespace osgTAVRI
{

namespace
{
struct Binding
{
    const char* key;
    const char* description; // null: the description column has ended
};

// The one list of what the keys do; the page grows with it. Keep in step with the handlers:
// navigation, layers (digit keys of the scene controller, Alt for the next alternative), the
// overlay's own keys, the program's and the stock handlers' F keys.
const std::vector<Binding>& bindings()
{
    static const std::vector<Binding> table = {
        {"TAVRIview", ""},
        {"", ""},
        {"Vänster musknapp + Dra", "Vrid vyn"},
        {"J,L,I,K", "Vrid vyn (med tangenter)"},
        {"W,S,A,D,Q,Z", "Flytta vyn"},
        {"+/-/Mus scrollhjul", "Öka/minska rörelsehastighet"},
        {"Tab", "Växla mellan fri och terrängföljande navigering"},
        {"Mellanslag", "Gå tillbaka till startvyn"},
        {"", ""},
        {"0-9", "Tänd eller släck lager 0-9"},
        {"Alt + 0-9", "Visa nästa alternativ i lager 0-9"},
        {"M", "Visa koordinater under markören"},
        {"", ""},
        {"F1", "Visa den här hjälpen"},
        {"F3", "Spara vyn och inställningarna"},
        {"F4", "Visa geometri som ytor, linjer eller punkter"},
        {"F5", "Ljussättning"},
        {"F6", "Visa texturer"},
        {"F7", "Visa ytor dubbelsidigt"},
        {"F8", "Starta eller stoppa inspelning av flygning"},
        {"F9", "Spela upp eller stoppa inspelad flygning"},
        {"F10", "Visa statistik"},
        {"F11", "Fullskärmsläge"},
        {"F12", "Spara skärmbild"},
        {"", ""},
        {"Escape", "Avsluta"},
        {"", nullptr},
        {"", nullptr},
        {"Tryck F1 för att stänga fönstret", nullptr},
    };
    return table;
}

// Text starts 50 pixels in from the left and below the top; the last line keeps 36 below it.
const float lineHeight = 18.0f, margin = 50.0f, bottom = 36.0f;

std::string join(bool keys)
{
    std::string text;
    bool first = true;
    for (const Binding& binding : bindings())
    {
        const char* line = keys ? binding.key : binding.description;
        if (!line)
            break;
        if (!first)
            text += '\n';
        text += line;
        first = false;
    }
    return text;
}
} // namespace

const std::string& HelpPage::keyColumn()
{
    static const std::string text = join(true);
    return text;
}

const std::string& HelpPage::descriptionColumn()
{
    static const std::string text = join(false);
    return text;
}

int HelpPage::pageHeight()
{
    const std::size_t lines = bindings().size();
    return static_cast<int>(margin + lineHeight * static_cast<float>(lines - 1) + bottom);
}

osg::ref_ptr<osg::Node> HelpPage::makeHelpNode(int width, int height, osg::Node* background)
{
    osg::ref_ptr<osgText::Font> font = OverlayResources::readFont();
    if (!font)
    {
        OSG_WARN << "Could not load font file" << std::endl;
        return nullptr;
    }
    osg::ref_ptr<osgText::Text> keys =
        OverlayResources::makeText(font.get(), osgText::Text::LEFT_BASE_LINE, osg::Vec3(margin, -margin, 0.0f));
    OverlayResources::setText(*keys, keyColumn());
    const float columnOffset = 330.0f;
    osg::ref_ptr<osgText::Text> descriptions = OverlayResources::makeText(
        font.get(), osgText::Text::LEFT_BASE_LINE, osg::Vec3(margin + columnOffset, -margin, 0.0f));
    OverlayResources::setText(*descriptions, descriptionColumn());

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(keys.get());
    geode->addDrawable(descriptions.get());
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    // The page hangs from its upper left corner; its background lies below the texts.
    osg::ref_ptr<osg::Group> page = new osg::Group;
    if (background)
    {
        osg::ref_ptr<osg::MatrixTransform> corner = new osg::MatrixTransform(osg::Matrixd::translate(0.0, -height, 0.0));
        corner->addChild(background);
        page->addChild(corner.get());
    }
    page->addChild(geode.get());
    return new SnapshotNode(page.get(), 0, -height, width, height);
}

} // namespace osgTAVRI
