#include "viewer/environment/SkyBox.h"

#include "viewer/ResourcePaths.h"

#include "viewer/environment/MoveEarthySkyWithEyePointTransform.h"
#include "viewer/environment/TexMatCallback.h"

#include <osg/Depth>
#include <osg/Geode>
#include <osg/Notify>
#include <osg/ShapeDrawable>
#include <osg/TexEnv>
#include <osg/TexGen>
#include <osg/TexMat>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#ifndef GL_DEPTH_CLAMP
#define GL_DEPTH_CLAMP 0x864F
#endif
#ifndef GL_TEXTURE_CUBE_MAP_SEAMLESS
#define GL_TEXTURE_CUBE_MAP_SEAMLESS 0x884F
#endif

namespace osgTAVRI
{

namespace
{
// The sky surrounds every eye, so it has no place in the scene's bounds: it would make the
// scene look 60 km wide to the navigation, and push the near plane out to tens of metres.
class NoBoundingBox : public osg::Drawable::ComputeBoundingBoxCallback
{
public:
    NoBoundingBox() = default;
    NoBoundingBox(const NoBoundingBox& other, const osg::CopyOp& copyop)
        : osg::Drawable::ComputeBoundingBoxCallback(other, copyop)
    {
    }
    META_Object(osgTAVRI, NoBoundingBox);
    osg::BoundingBox computeBound(const osg::Drawable&) const override { return osg::BoundingBox(); }
};
} // namespace

namespace SkyBox
{

osg::ref_ptr<osg::TextureCubeMap> readSkyCubeMap()
{
    osg::ref_ptr<osg::TextureCubeMap> cubeMap = new osg::TextureCubeMap;
    osg::ref_ptr<osg::Image> images[6];
    for (int face = 0; face < 6; ++face)
    {
        const std::string path = std::string(ResourcePaths::sea) + "/" + faceFiles[face];
        // Without the whole folder the sea reports it in one line; a single missing face is
        // worth a line of its own, the reader's "file not found" would only repeat it.
        if (!osgDB::fileExists(path))
        {
            if (osgDB::fileExists(ResourcePaths::sea))
                OSG_WARN << "Sky box image not found: " << path << std::endl;
            return cubeMap;
        }
        images[face] = osgDB::readImageFile(path, osgDB::Registry::instance()->getOptions());
        if (!images[face].valid())
            return cubeMap;
    }
    for (int face = 0; face < 6; ++face)
        cubeMap->setImage(static_cast<unsigned int>(face), images[face].get());
    cubeMap->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    cubeMap->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    cubeMap->setWrap(osg::Texture::WRAP_R, osg::Texture::CLAMP_TO_EDGE);
    cubeMap->setFilter(osg::Texture::MIN_FILTER, osg::Texture::LINEAR);
    cubeMap->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
    return cubeMap;
}

osg::ref_ptr<osg::ClearNode> createSkyBox(osg::ref_ptr<osg::TextureCubeMap>& cubeMap)
{
    cubeMap = readSkyCubeMap();

    osg::ref_ptr<osg::StateSet> stateSet = new osg::StateSet;
    stateSet->setTextureAttributeAndModes(0, new osg::TexEnv(osg::TexEnv::REPLACE), osg::StateAttribute::ON);
    osg::ref_ptr<osg::TexGen> texGen = new osg::TexGen;
    texGen->setMode(osg::TexGen::NORMAL_MAP);
    stateSet->setTextureAttributeAndModes(0, texGen, osg::StateAttribute::ON);
    osg::ref_ptr<osg::TexMat> texMat = new osg::TexMat;
    stateSet->setTextureAttribute(0, texMat);
    stateSet->setTextureAttributeAndModes(0, cubeMap, osg::StateAttribute::ON);
    // Filtering across the cube's edges, so that the faces meet without seams.
    stateSet->setMode(GL_TEXTURE_CUBE_MAP_SEAMLESS, osg::StateAttribute::ON);
    stateSet->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    stateSet->setMode(GL_CULL_FACE, osg::StateAttribute::OFF);
    // Depth range 1 to 1 puts the sky at the far plane behind everything; depth clamping
    // keeps the far plane from cutting the sphere away, since the sky is not in the bounds.
    stateSet->setAttributeAndModes(new osg::Depth(osg::Depth::ALWAYS, 1.0, 1.0, true), osg::StateAttribute::ON);
    stateSet->setMode(GL_DEPTH_CLAMP, osg::StateAttribute::ON);
    stateSet->setRenderBinDetails(-1, "RenderBin");

    osg::ref_ptr<osg::ShapeDrawable> sphere = new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(), radius));
    sphere->setComputeBoundingBoxCallback(new NoBoundingBox);
    // The sky replaces its colour with the images, so it needs none; and it must not leave
    // one behind for the models drawn after it that have no colour of their own.
    sphere->setColorArray(nullptr);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setCullingActive(false);
    geode->setStateSet(stateSet);
    geode->addDrawable(sphere);

    osg::ref_ptr<osg::Transform> transform = new MoveEarthySkyWithEyePointTransform;
    transform->setCullingActive(false);
    transform->addChild(geode);
    // Without its images the sky would be a flat grey dome over the configured background.
    if (!cubeMap->getImage(0))
        geode->setNodeMask(0);

    osg::ref_ptr<osg::ClearNode> clearNode = new osg::ClearNode;
    clearNode->setCullCallback(new TexMatCallback(*texMat));
    clearNode->addChild(transform);
    return clearNode;
}

} // namespace SkyBox

} // namespace osgTAVRI
