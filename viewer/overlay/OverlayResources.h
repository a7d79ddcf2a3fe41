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
class OverlayResources
{
public:
    static const char* fontPath() { return ResourcePaths::font; }
    static std::string imagePath(const std::string& name) { return "../Resources/Images/" + name; }

    // Null when the file is missing (without a line) or unreadable; the caller reports it.
    static osg::ref_ptr<osgText::Font> readFont();
    static osg::ref_ptr<osg::Image> readImage(const std::string& name);

    // White text of 18 pixels, rasterised at 36 so that it stays sharp.
    static osg::ref_ptr<osgText::Text> makeText(osgText::Font* font, osgText::Text::AlignmentType alignment,
                                                const osg::Vec3& position);
    // UTF-8 text as the drawable's characters.
    static void setText(osgText::Text& text, const std::string& utf8);

    // The image drawn unscaled with its lower left corner at the node's origin, blended.
    static osg::Geode* makeImageNode(osg::Image* image);
    // A quad over four vertices, counter-clockwise from the lower left, showing a whole texture.
    static osg::Geometry* makeTexturedQuad(osg::Vec3Array* vertices);
    // A texture of the image that does not wrap round at its edges.
    static osg::Texture2D* makeEdgeClampedTexture(osg::Image* image);

    // The view of this frame. The viewer hands the manipulator's view to its camera only
    // after the scene's update callbacks have run, so the camera's own matrix is a frame
    // old (and still the identity in the first frame); the manipulator's is current.
    static osg::Matrixd currentViewMatrix(const osg::Camera& camera);
};

} // namespace osgTAVRI
