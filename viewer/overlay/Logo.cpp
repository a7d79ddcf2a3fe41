#include "viewer/overlay/Logo.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/Notify>

namespace osgTAVRI
{

SizedNode<osg::Switch> Logo::makeLogoNode()
{
    osg::ref_ptr<osg::Image> light = OverlayResources::readImage("Logo_light.png");
    osg::ref_ptr<osg::Image> dark = OverlayResources::readImage("Logo_dark.png");
    if (!light || !dark)
    {
        OSG_INFO << "Error loading logo images, check existance of Logo_light and Logo_dark in /Images" << std::endl;
        return {};
    }
    osg::ref_ptr<osg::Switch> logo = new osg::Switch;
    logo->addChild(OverlayResources::makeImageNode(light.get()), true);
    logo->addChild(OverlayResources::makeImageNode(dark.get()), false);
    return {logo, light->s(), light->t()};
}

double Logo::luminance(const osg::Vec4& colour)
{
    return 0.2989 * colour.r() + 0.587 * colour.g() + 0.114 * colour.b();
}

void Logo::chooseVariant(osg::Switch& logo, const osg::Vec4& background)
{
    const bool light = luminance(background) >= 0.5;
    logo.setValue(0, light);
    logo.setValue(1, !light);
}

} // namespace osgTAVRI
