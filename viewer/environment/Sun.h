#pragma once

#include <osg/Vec4>

namespace osgTAVRI
{

// The one sun of the scene. The main light shines from it, the sky images show it there and
// the sea is lit by it, so that shading, sky and glitter agree.
namespace Sun
{
// Towards the sun as a directional light's position (w = 0): high in the south-west.
const osg::Vec4 position(-1.0f, -1.0f, 2.0f, 0.0f);
// The light the sea gets: the sun's own colour and the sky's light on the water.
const osg::Vec4 colour(1.0f, 0.96f, 0.88f, 1.0f);
const osg::Vec4 ambient(0.32f, 0.36f, 0.42f, 1.0f);
} // namespace Sun

} // namespace osgTAVRI
