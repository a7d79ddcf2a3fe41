#include "viewer/environment/sea/PlanarReflection.h"

#include <osg/FrameStamp>
#include <osgUtil/CullVisitor>

namespace osgTAVRI
{

PlanarReflection::PlanarReflection() : PlanarReflection(nullptr) {}

PlanarReflection::PlanarReflection(osg::Camera* camera)
    : texture(new osg::Texture2D), textureMatrix(new osg::RefMatrixd), mainCamera(camera)
{
    texture->setTextureSize(textureSize, textureSize);
    texture->setInternalFormat(GL_RGBA);
    texture->setSourceFormat(GL_RGBA);
    texture->setSourceType(GL_UNSIGNED_BYTE);
    texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);

    // Where nothing is reflected the texture stays transparent and the sea shows the sky.
    setClearColor(osg::Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    setClearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setViewport(0, 0, textureSize, textureSize);
    setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    setRenderOrder(osg::Camera::PRE_RENDER, 0);
    attach(osg::Camera::COLOR_BUFFER, texture.get(), 0, 0, false, 0, 0);
    setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
}

PlanarReflection::PlanarReflection(const PlanarReflection& other, const osg::CopyOp& copyop)
    : osg::Camera(other, copyop), texture(other.texture), textureMatrix(other.textureMatrix),
      mainCamera(other.mainCamera)
{
}

void PlanarReflection::accept(osg::NodeVisitor& nv)
{
    if (nv.asCullVisitor() && mainCamera.valid())
    {
        if (const osg::FrameStamp* stamp = nv.getFrameStamp())
            speed.judge(*stamp);
        const int size = getDrawnSize();
        if (!getViewport() || int(getViewport()->width()) != size)
            setViewport(new osg::Viewport(0, 0, size, size));
        const double used = double(size) / double(textureSize);
        const osg::Matrixd view = mainCamera->getViewMatrix();
        const osg::Matrixd projection = mainCamera->getProjectionMatrix();
        setViewMatrix(view);
        setProjectionMatrix(projection);
        // Eye-relative positions to texture coordinates: the view's rotation, the projection
        // and the step from [-1, 1] to [0, 1]. The sea divides by the third coordinate, so it
        // must be w: the toolkit narrows the camera's near and far planes to the scene in
        // every frame, and the projection's own depth would be far from w then.
        osg::Matrixd rotation = view;
        rotation.setTrans(0.0, 0.0, 0.0);
        osg::Matrixd toW = projection;
        for (int row = 0; row < 4; ++row)
            toW(row, 2) = toW(row, 3);
        textureMatrix->set(rotation * toW * osg::Matrixd::translate(1.0, 1.0, 1.0) *
                           osg::Matrixd::scale(0.5 * used, 0.5 * used, 0.5));
    }
    osg::Camera::accept(nv);
}

} // namespace osgTAVRI
