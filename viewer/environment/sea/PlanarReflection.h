#pragma once

#include "viewer/environment/sea/FrameSpeed.h"

#include <osg/Camera>
#include <osg/Matrixd>
#include <osg/Texture2D>

namespace osgTAVRI
{

// Draws, before the main camera and from its point of view, the scene mirrored in the plane
// z = 0 into a 1024 x 1024 texture that the sea reflects. Its child is the mirrored scene;
// the texture matrix maps positions relative to the eye into that texture.
class PlanarReflection : public osg::Camera
{
public:
    static const int textureSize = 1024;

    PlanarReflection();
    explicit PlanarReflection(osg::Camera* mainCamera);
    PlanarReflection(const PlanarReflection& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, PlanarReflection);

    // Follows the main camera in every cull traversal.
    void accept(osg::NodeVisitor& nv) override;

    osg::Texture2D* getReflectionTexture() const { return texture.get(); }
    osg::RefMatrixd* getTextureMatrix() const { return textureMatrix.get(); }
    // The side of the square of the texture that is drawn: on slow frames a quarter of the
    // texture (half its width and height).
    int getDrawnSize() const { return speed.isSlow() ? textureSize / 2 : textureSize; }

protected:
    ~PlanarReflection() override = default;

    osg::ref_ptr<osg::Texture2D> texture;
    osg::ref_ptr<osg::RefMatrixd> textureMatrix;
    osg::ref_ptr<osg::Camera> mainCamera;
    FrameSpeed speed;
};

} // namespace osgTAVRI
