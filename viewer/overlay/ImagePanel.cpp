#include "viewer/overlay/ImagePanel.h"

#include "viewer/scene/DataVarianceVisitor.h"
#include "viewer/scene/DisplayListVisitor.h"
#include "viewer/overlay/OverlayResources.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Notify>

#include <string>

namespace osgTAVRI
{

namespace
{
osg::Geode* makeCell(int k, const osg::Vec4& colour)
{
    osg::ref_ptr<osg::Geometry> geometry = OverlayResources::makeTexturedQuad(new osg::Vec3Array(4));
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(colour);
    geometry->setColorArray(colours.get(), osg::Array::BIND_OVERALL);

    osg::ref_ptr<osg::Texture2D> texture =
        OverlayResources::makeEdgeClampedTexture(OverlayResources::readImage("Panel_" + std::to_string(k) + ".png").get());

    osg::Geode* geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    geode->getOrCreateStateSet()->setTextureAttributeAndModes(0, texture.get(), osg::StateAttribute::ON);
    return geode;
}
} // namespace

osg::ref_ptr<osg::Group> ImagePanel::makePanel(int width, int height, const osg::Vec4& colour)
{
    if (width < minimumSize || height < minimumSize)
    {
        OSG_WARN << "Invalid size for panel, must be a minimum 32 x 32 pixels" << std::endl;
        return nullptr;
    }
    osg::ref_ptr<osg::Group> panel = new osg::Group;
    osg::StateSet* state = panel->getOrCreateStateSet();
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    for (int k = 0; k < 9; ++k)
        panel->addChild(makeCell(k, colour));

    DisplayListVisitor displayLists(false);
    panel->accept(displayLists);
    // The vertices are rewritten on the event thread while a draw thread may still draw the
    // previous frame; the visitor marks the cells' geometries too, so the viewer waits for it.
    DataVarianceVisitor variance(osg::Object::DYNAMIC);
    panel->accept(variance);

    resizePanel(panel.get(), width, height);
    return panel.release();
}

void ImagePanel::resizePanel(osg::Group* panel, int width, int height)
{
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    if (!panel || panel->getNumChildren() != 9 || w < minimumSize || h < minimumSize)
        return;
    const float corner = static_cast<float>(cornerSize);
    const float left[3] = {0.0f, corner, w - corner}, cellWidth[3] = {corner, w - 2.0f * corner, corner};
    const float bottom[3] = {0.0f, corner, h - corner}, cellHeight[3] = {corner, h - 2.0f * corner, corner};
    // Just behind the texts and images, which lie at depth 0.
    const float depth = -0.1f;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
        {
            osg::Geode* geode = panel->getChild(static_cast<unsigned int>(c + 3 * r))->asGeode();
            osg::Geometry* geometry = geode && geode->getNumDrawables() > 0 ? geode->getDrawable(0)->asGeometry() : nullptr;
            osg::Vec3Array* vertices = geometry ? dynamic_cast<osg::Vec3Array*>(geometry->getVertexArray()) : nullptr;
            if (!vertices || vertices->size() != 4)
                continue;
            const float x = left[c], y = bottom[r], cw = cellWidth[c], ch = cellHeight[r];
            (*vertices)[0].set(x, y, depth);
            (*vertices)[1].set(x + cw, y, depth);
            (*vertices)[2].set(x + cw, y + ch, depth);
            (*vertices)[3].set(x, y + ch, depth);
            vertices->dirty();
            geometry->dirtyBound();
        }
}

} // namespace osgTAVRI
