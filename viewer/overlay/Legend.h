#pragma once

#include "viewer/overlay/OverlayResources.h"

#include <osg/Geode>

namespace osgTAVRI
{

// The legend: one image that explains the symbols and colours of the scene's layers.
namespace Legend
{
// The image node of "Legend.png" and its size; null with one line when it is missing.
SizedNode<osg::Geode> makeLegendNode();
} // namespace Legend

} // namespace osgTAVRI
