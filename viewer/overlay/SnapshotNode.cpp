#include "viewer/overlay/SnapshotNode.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/BlendFunc>
#include <osg/NodeCallback>
#include <osg/Texture2D>

#include <cstring>

namespace osgTAVRI
{

namespace
{
class DrawnCallback : public osg::Camera::DrawCallback
{
public:
    explicit DrawnCallback(SnapshotNode::Flag* flag) : drawn(flag) {}
    void operator()(osg::RenderInfo&) const override { drawn->done = true; }

private:
    osg::ref_ptr<SnapshotNode::Flag> drawn;
};
} // namespace

class SnapshotNode::StopCallback : public osg::NodeCallback
{
public:
    void operator()(osg::Node* node, osg::NodeVisitor* nv) override
    {
        SnapshotNode* snapshot = static_cast<SnapshotNode*>(node);
        if (snapshot->camera.valid() && snapshot->isDrawn() && snapshot->camera->getNodeMask() != 0)
            snapshot->camera->setNodeMask(0);
        traverse(node, nv);
    }
};

SnapshotNode::SnapshotNode(osg::Node* subgraph, int x, int y, int width, int height)
    : content(subgraph), image(new osg::Image), drawn(new Flag)
{
    image->allocateImage(width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    std::memset(image->data(), 0, image->getTotalSizeInBytes());

    camera = new osg::Camera;
    camera->setRenderOrder(osg::Camera::PRE_RENDER);
    camera->setRenderTargetImplementation(osg::Camera::FRAME_BUFFER_OBJECT);
    camera->attach(osg::Camera::COLOR_BUFFER, image.get());
    camera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    camera->setViewMatrix(osg::Matrixd::identity());
    camera->setProjectionMatrix(osg::Matrixd::ortho2D(x, x + width, y, y + height));
    camera->setViewport(0, 0, width, height);
    camera->setClearColor(osg::Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    camera->setClearMask(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The image keeps colours multiplied by their coverage and the coverage itself, so that
    // one blend of the quad gives what blending the content directly would have given.
    osg::StateSet* state = camera->getOrCreateStateSet();
    state->setAttributeAndModes(new osg::BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA),
                                osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    camera->setFinalDrawCallback(new DrawnCallback(drawn.get()));
    camera->addChild(content.get());
    addChild(camera.get());

    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(osg::Vec3(x, y, 0.0f));
    corners->push_back(osg::Vec3(x + width, y, 0.0f));
    corners->push_back(osg::Vec3(x + width, y + height, 0.0f));
    corners->push_back(osg::Vec3(x, y + height, 0.0f));
    osg::ref_ptr<osg::Geode> quad = new osg::Geode;
    osg::ref_ptr<osg::Geometry> geometry = OverlayResources::makeTexturedQuad(corners.get());
    // The texture as it is: the colour it is modulated with must not be left from another drawable.
    osg::ref_ptr<osg::Vec4Array> white = new osg::Vec4Array;
    white->push_back(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    geometry->setColorArray(white.get(), osg::Array::BIND_OVERALL);
    quad->addDrawable(geometry.get());
    osg::ref_ptr<osg::Texture2D> texture = OverlayResources::makeEdgeClampedTexture(image.get());
    // Texel for pixel: no filtering, no scaling to a power of two.
    texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::NEAREST);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::NEAREST);
    texture->setResizeNonPowerOfTwoHint(false);
    osg::StateSet* quadState = quad->getOrCreateStateSet();
    quadState->setTextureAttributeAndModes(0, texture.get(), osg::StateAttribute::ON);
    quadState->setAttributeAndModes(new osg::BlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA), osg::StateAttribute::ON);
    quadState->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    quadState->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    addChild(quad.get());

    setUpdateCallback(new StopCallback);
}

SnapshotNode::SnapshotNode(const SnapshotNode& other, const osg::CopyOp& copyop)
    : osg::Group(other, copyop), content(other.content), camera(other.camera), image(other.image), drawn(other.drawn)
{
}

void SnapshotNode::redraw()
{
    if (!camera.valid())
        return;
    drawn->done = false;
    camera->setNodeMask(~0u);
}

} // namespace osgTAVRI
