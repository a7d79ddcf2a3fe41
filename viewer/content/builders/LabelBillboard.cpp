#include "viewer/content/builders/LabelBillboard.h"

#include <osg/StateSet>

namespace osgTAVRI
{

osg::ref_ptr<osg::Billboard> LabelBillboard::create()
{
    osg::ref_ptr<osg::Billboard> billboard = new osg::Billboard;
    billboard->setMode(osg::Billboard::POINT_ROT_EYE);
    billboard->setNormal(osg::Vec3(0.0f, 0.0f, 1.0f));
    billboard->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    return billboard;
}

osg::ref_ptr<osgText::Text> LabelBillboard::createText(const std::string& text, osgText::Font* font,
                                                       unsigned int resolution, const osg::Vec4& colour,
                                                       float characterSize)
{
    osg::ref_ptr<osgText::Text> label = new osgText::Text;
    label->setFont(font);
    label->setFontResolution(resolution, resolution);
    label->setColor(colour);
    label->setCharacterSize(characterSize);
    label->setAlignment(osgText::Text::CENTER_CENTER);
    label->setText(text);
    return label;
}

} // namespace osgTAVRI
