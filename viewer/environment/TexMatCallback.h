#pragma once

#include <osg/Matrixd>
#include <osg/NodeCallback>
#include <osg/TexMat>

namespace osgTAVRI
{

// Keeps the sky's cube map fixed to the world while the view turns: in every cull traversal
// the texture matrix undoes the rotation of the model-view matrix, so that the eye-space
// normals from which the sky's texture coordinates are generated become world directions.
class TexMatCallback : public osg::NodeCallback
{
public:
    TexMatCallback() = default;
    // The texture matrix belongs to the sky's state set, which outlives this callback.
    explicit TexMatCallback(osg::TexMat& texMat);
    TexMatCallback(const TexMatCallback& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Object(osgTAVRI, TexMatCallback);

    void operator()(osg::Node* node, osg::NodeVisitor* nv) override;

    // A quarter turn about x from the world's directions (z up) to those of the sky images
    // (y up), made once on first use.
    static const osg::Matrixd& correction();

protected:
    ~TexMatCallback() override = default;

    osg::TexMat* texMat = nullptr;
};

} // namespace osgTAVRI
