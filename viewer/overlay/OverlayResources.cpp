#include "viewer/overlay/OverlayResources.h"

#include "viewer/FontFile.h"

#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <osgGA/CameraManipulator>
#include <osgViewer/View>

namespace osgTAVRI
{

osg::ref_ptr<osgText::Font> OverlayResources::readFont()
{
    return FontFile::read(fontPath());
}

osg::ref_ptr<osg::Image> OverlayResources::readImage(const std::string& name)
{
    // The items report a missing image in their own words (a panel cell not at all); the
    // reader's own "file not found" line would only repeat it.
    const std::string path = imagePath(name);
    if (!osgDB::fileExists(path))
        return nullptr;
    return osgDB::readRefImageFile(path, osgDB::Registry::instance()->getOptions());
}

osg::ref_ptr<osgText::Text> OverlayResources::makeText(osgText::Font* font, osgText::Text::AlignmentType alignment,
                                                       const osg::Vec3& position)
{
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(font);
    text->setFontResolution(36, 36);
    text->setCharacterSize(18.0f);
    text->setColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    text->setAlignment(alignment);
    text->setPosition(position);
    // Nothing is drawn behind the overlay's texts after them: a depth pass would only cost.
    text->setEnableDepthWrites(false);
    return text;
}

void OverlayResources::setText(osgText::Text& text, const std::string& utf8)
{
    text.setText(utf8, osgText::String::ENCODING_UTF8);
}

osg::ref_ptr<osg::Geode> OverlayResources::makeImageNode(osg::Image* image)
{
    // A texture, not pixels drawn from memory: the driver would upload those at every frame.
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(osg::Vec3(0.0f, 0.0f, 0.0f));
    corners->push_back(osg::Vec3(image->s(), 0.0f, 0.0f));
    corners->push_back(osg::Vec3(image->s(), image->t(), 0.0f));
    corners->push_back(osg::Vec3(0.0f, image->t(), 0.0f));
    osg::ref_ptr<osg::Geometry> quad = makeTexturedQuad(corners.get());
    osg::ref_ptr<osg::Vec4Array> white = new osg::Vec4Array;
    white->push_back(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    quad->setColorArray(white.get(), osg::Array::BIND_OVERALL);
    osg::ref_ptr<osg::Texture2D> texture = makePixelTexture(image);
    osg::Geode* geode = new osg::Geode;
    geode->addDrawable(quad.get());
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setTextureAttributeAndModes(0, texture.get(), osg::StateAttribute::ON);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    return geode;
}

osg::ref_ptr<osg::Geometry> OverlayResources::makeTexturedQuad(osg::Vec3Array* vertices)
{
    osg::Geometry* geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    osg::ref_ptr<osg::Vec2Array> texCoords = new osg::Vec2Array;
    texCoords->push_back(osg::Vec2(0.0f, 0.0f));
    texCoords->push_back(osg::Vec2(1.0f, 0.0f));
    texCoords->push_back(osg::Vec2(1.0f, 1.0f));
    texCoords->push_back(osg::Vec2(0.0f, 1.0f));
    geometry->setTexCoordArray(0, texCoords.get());
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, 4));
    return geometry;
}

osg::ref_ptr<osg::Texture2D> OverlayResources::makeEdgeClampedTexture(osg::Image* image)
{
    osg::Texture2D* texture = new osg::Texture2D(image);
    texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    return texture;
}

osg::ref_ptr<osg::Texture2D> OverlayResources::makePixelTexture(osg::Image* image)
{
    osg::ref_ptr<osg::Texture2D> texture = makeEdgeClampedTexture(image);
    texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);
    texture->setResizeNonPowerOfTwoHint(false);
    return texture;
}

osg::Matrixd OverlayResources::currentViewMatrix(const osg::Camera& camera)
{
    const osgViewer::View* view = dynamic_cast<const osgViewer::View*>(camera.getView());
    if (view && view->getCamera() == &camera && view->getCameraManipulator())
        return view->getCameraManipulator()->getInverseMatrix();
    return camera.getViewMatrix();
}

} // namespace osgTAVRI
