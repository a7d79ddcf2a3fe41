#include "viewer/overlay/HelpPage.h"

#include "viewer/overlay/OverlayResources.h"

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

// Keep in step with the handlers: navigation, layers (digit keys of the scene controller,
// Alt for the next alternative), the overlay's own keys and the stock handlers' F keys.
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
        {"", ""},
        {"0-9", "Tänd eller släck lager 0-9"},
        {"Alt + 0-9", "Visa nästa alternativ i lager 0-9"},
        {"M", "Visa koordinater under markören"},
        {"", ""},
        {"F1", "Visa den här hjälpen"},
        {"F4", "Visa geometri som ytor, linjer eller punkter"},
        {"F5", "Ljussättning"},
        {"F6", "Visa texturer"},
        {"F7", "Visa ytor dubbelsidigt"},
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

osg::Geode* HelpPage::makeHelpNode()
{
    osg::ref_ptr<osgText::Font> font = OverlayResources::readFont();
    if (!font)
    {
        OSG_WARN << "Could not load font file" << std::endl;
        return nullptr;
    }
    osg::ref_ptr<osgText::Text> keys =
        OverlayResources::makeText(font.get(), osgText::Text::LEFT_BASE_LINE, osg::Vec3(50.0f, -50.0f, 0.0f));
    OverlayResources::setText(*keys, keyColumn());
    const float columnOffset = 330.0f;
    osg::ref_ptr<osgText::Text> descriptions = OverlayResources::makeText(
        font.get(), osgText::Text::LEFT_BASE_LINE, osg::Vec3(50.0f + columnOffset, -50.0f, 0.0f));
    OverlayResources::setText(*descriptions, descriptionColumn());

    osg::Geode* geode = new osg::Geode;
    geode->addDrawable(keys.get());
    geode->addDrawable(descriptions.get());
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    return geode;
}

} // namespace osgTAVRI
