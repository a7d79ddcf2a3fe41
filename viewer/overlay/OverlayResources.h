#pragma once

#include <osg/Camera>
#include "viewer/ResourcePaths.h"
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Image>
#include <osg/Matrixd>
#include <osg/Texture2D>
#include <osg/Vec3>
#include <osgText/Font>
#include <osgText/Text>

#include <string>

namespace osgTAVRI
{

// What the overlay's items share: where their font and images lie (relative to Bin), the
// look of their texts, the node that shows an image pixel for pixel, and the view they
// report on.
// A node made from an image, with the image's size in pixels; no node when the image was missing.
template <class Node>
struct SizedNode
{
    osg::ref_ptr<Node> node;
    int width = 0;
    int height = 0;
};

namespace OverlayResources
{
inline const char* fontPath() { return ResourcePaths::font; }
inline std::string imagePath(const std::string& name) { return "../Resources/Images/" + name; }

// Null when the file is missing (without a line) or unreadable; the caller reports it.
osg::ref_ptr<osgText::Font> readFont();
osg::ref_ptr<osg::Image> readImage(const std::string& name);

// White text of 18 pixels, rasterised at 36 so that it stays sharp.
osg::ref_ptr<osgText::Text> makeText(osgText::Font* font, osgText::Text::AlignmentType alignment,
                                            const osg::Vec3& position);
// UTF-8 text as the drawable's characters.
void setText(osgText::Text& text, const std::string& utf8);

// The image drawn unscaled with its lower left corner at the node's origin, blended.
osg::ref_ptr<osg::Geode> makeImageNode(osg::Image* image);
// A quad over four vertices, counter-clockwise from the lower left, showing a whole texture.
osg::ref_ptr<osg::Geometry> makeTexturedQuad(osg::Vec3Array* vertices);
// A texture of the image that does not wrap round at its edges.
osg::ref_ptr<osg::Texture2D> makeEdgeClampedTexture(osg::Image* image);
// Texel for pixel: no filtering, no scaling to a power of two.
osg::ref_ptr<osg::Texture2D> makePixelTexture(osg::Image* image);

// The view of this frame. The viewer hands the manipulator's view to its camera only
// after the scene's update callbacks have run, so the camera's own matrix is a frame
// old (and still the identity in the first frame); the manipulator's is current.
osg::Matrixd currentViewMatrix(const osg::Camera& camera);
} // namespace OverlayResources

} // namespace osgTAVRI
