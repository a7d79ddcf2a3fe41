#include "viewer/overlay/Compass.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/Notify>
#include <osg/PolygonMode>
#include <osg/TexMat>

#include <cmath>

namespace osgTAVRI
{

SizedNode<osg::Geode> Compass::makeCompassNode()
{
    osg::ref_ptr<osg::Image> image = OverlayResources::readImage("Compass.png");
    if (!image)
    {
        OSG_WARN << "Compass image not found" << std::endl;
        return {};
    }
    const int size = image->s();
    const float h = static_cast<float>(size / 2);

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back(osg::Vec3(-h, -h, 0.0f));
    vertices->push_back(osg::Vec3(h, -h, 0.0f));
    vertices->push_back(osg::Vec3(h, h, 0.0f));
    vertices->push_back(osg::Vec3(-h, h, 0.0f));
    osg::ref_ptr<osg::Geometry> geometry = OverlayResources::makeTexturedQuad(vertices.get());
    osg::ref_ptr<osg::Texture2D> texture = OverlayResources::makeEdgeClampedTexture(image.get());
    osg::ref_ptr<osg::TexMat> texMat = new osg::TexMat;
    // Rewritten every update; dynamic, so a draw thread never reads it half written.
    texMat->setDataVariance(osg::Object::DYNAMIC);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setDataVariance(osg::Object::DYNAMIC);
    state->setTextureAttributeAndModes(0, texture.get(), osg::StateAttribute::ON);
    state->setAttributeAndModes(new osg::PolygonMode(osg::PolygonMode::FRONT_AND_BACK, osg::PolygonMode::FILL),
                                osg::StateAttribute::ON | osg::StateAttribute::PROTECTED);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    state->setTextureAttributeAndModes(0, texMat.get(), osg::StateAttribute::ON | osg::StateAttribute::PROTECTED);
    return {geode, size, size};
}

bool Compass::heading(const osg::Matrixd& viewMatrix, double& heading)
{
    osg::Vec3d eye, centre, up;
    viewMatrix.getLookAt(eye, centre, up, 1.0);
    osg::Vec2d d(centre.x() - eye.x(), centre.y() - eye.y());
    if (d.length() > 0.0)
        d.normalize();
    if (!(d.length() > 0.0))
        return false;
    heading = std::atan2(d.x(), d.y());
    return true;
}

osg::Matrixd Compass::textureMatrix(double heading)
{
    return osg::Matrixd::translate(-0.5, -0.5, 0.0) * osg::Matrixd::rotate(-heading, osg::Vec3d(0.0, 0.0, 1.0)) *
           osg::Matrixd::translate(0.5, 0.5, 0.0);
}

CompassUpdateCallback::CompassUpdateCallback(osg::Camera* masterCamera) : camera(masterCamera) {}

CompassUpdateCallback::CompassUpdateCallback(const CompassUpdateCallback& other, const osg::CopyOp& copyop)
    : osg::Object(other, copyop), osg::Callback(other, copyop), osg::NodeCallback(other, copyop),
      camera(other.camera)
{
}

void CompassUpdateCallback::operator()(osg::Node* node, osg::NodeVisitor*)
{
    osg::ref_ptr<osg::Camera> view;
    double turn = 0.0;
    if (!camera.lock(view) || !Compass::heading(OverlayResources::currentViewMatrix(*view), turn))
        return;
    osg::StateSet* state = node->getStateSet();
    osg::TexMat* texMat =
        state ? dynamic_cast<osg::TexMat*>(state->getTextureAttribute(0, osg::StateAttribute::TEXMAT)) : nullptr;
    if (texMat)
        texMat->setMatrix(Compass::textureMatrix(turn));
}

} // namespace osgTAVRI
