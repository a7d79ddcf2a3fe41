#pragma once

#include <osg/ClearNode>
#include <osg/TextureCubeMap>
#include <osg/ref_ptr>

namespace osgTAVRI
{

// The sky around the scene: a sphere centred on the eye, drawn first and behind everything,
// textured with a cube map of six images from the sea's resource folder (ResourcePaths::sea).
namespace SkyBox
{
// The face images, in the order of the cube map's faces (+x, -x, +y, -y, +z, -z).
const char* const faceFiles[6] = {"posX.tga", "negX.tga", "posY.tga", "negY.tga", "posZ.tga", "negZ.tga"};
const float radius = 30000.0f;

// The cube map of the six images; without images when any of them cannot be read.
osg::ref_ptr<osg::TextureCubeMap> readSkyCubeMap();

// The sky's node, to be hung beside "Scene"; `cubeMap` receives the sky's cube map, which the
// sea reflects.
osg::ref_ptr<osg::ClearNode> createSkyBox(osg::ref_ptr<osg::TextureCubeMap>& cubeMap);
} // namespace SkyBox

} // namespace osgTAVRI
