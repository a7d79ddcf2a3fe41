#pragma once

#include "viewer/overlay/OverlayResources.h"

#include <osg/Switch>
#include <osg/Vec4>

namespace osgTAVRI
{

// The logo in two variants: "Logo_light" (dark ink, for light backgrounds) and
// "Logo_dark" (light ink, for dark ones), chosen by the background's luminance.
namespace Logo
{
// A switch with the light variant as child 0 (on) and the dark one as child 1 (off);
// the size is that of the light image. Null with one line when either image is missing.
SizedNode<osg::Switch> makeLogoNode();

// Luma of the colour with the weights of analogue television (ITU-R BT.601).
double luminance(const osg::Vec4& colour);
// Shows the light variant on a background of luminance 0.5 or more, else the dark one.
void chooseVariant(osg::Switch& logo, const osg::Vec4& background);
} // namespace Logo

} // namespace osgTAVRI
