#include "viewer/overlay/SnapshotNode.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/BlendFunc>
#include <osg/NodeCallback>
#include <osg/ShadeModel>
#include <osg/TexEnv>
#include <osg/Transform>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The image holds premultiplied colours: one blend adds them over what lies behind. The HUD is
// flat, so a depth test would only cost.
void setQuadState(osg::StateSet* state)
{
    state->setAttributeAndModes(new osg::BlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA), osg::StateAttribute::ON);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
}

// The texels as they are: nothing left from another drawable modulates them.
void setTextureState(osg::StateSet* state, osg::Texture2D* texture)
{
    state->setTextureAttributeAndModes(0, texture, osg::StateAttribute::ON);
    state->setTextureAttribute(0, new osg::TexEnv(osg::TexEnv::REPLACE));
}

osg::ref_ptr<osg::Geometry> makeQuads()
{
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(new osg::Vec3Array);
    return geometry;
}

void addQuad(osg::Geometry& geometry, int x, int y, int x0, int y0, int x1, int y1)
{
    osg::Vec3Array* vertices = static_cast<osg::Vec3Array*>(geometry.getVertexArray());
    vertices->push_back(osg::Vec3(x + x0, y + y0, 0.0f));
    vertices->push_back(osg::Vec3(x + x1, y + y0, 0.0f));
    vertices->push_back(osg::Vec3(x + x1, y + y1, 0.0f));
    vertices->push_back(osg::Vec3(x + x0, y + y1, 0.0f));
}

// The one colour of all texels of a tile, or none.
bool uniformColour(const osg::Image& image, int x0, int y0, int x1, int y1, std::uint32_t& colour)
{
    std::memcpy(&colour, image.data(x0, y0), 4);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (std::memcmp(&colour, image.data(x, y), 4) != 0)
                return false;
    return true;
}

// Where tiles of an image of `size` pixels begin and end, on the window's multiples of the
// tile size: `phase` is the window coordinate of the image's first pixel modulo it.
std::vector<int> tileEdges(int size, int phase)
{
    std::vector<int> edges{0};
    for (int edge = SnapshotNode::tileSize - phase; edge < size; edge += SnapshotNode::tileSize)
        edges.push_back(edge);
    edges.push_back(size);
    return edges;
}

struct Tile
{
    bool uniform;
    std::uint32_t colour;
    bool taken; // drawn by a rectangle already, or transparent
};
} // namespace

osg::ref_ptr<osg::Geode> SnapshotNode::makeTiles(const osg::Image& image, osg::Texture2D* texture, int x, int y,
                                                 const osg::Vec2i& phase)
{
    osg::ref_ptr<osg::Geometry> plain = makeQuads();
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    plain->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
    osg::StateSet* plainState = plain->getOrCreateStateSet();
    plainState->setTextureMode(0, GL_TEXTURE_2D, osg::StateAttribute::OFF);
    // One colour per quad: the rasteriser need not interpolate it.
    plainState->setAttribute(new osg::ShadeModel(osg::ShadeModel::FLAT));
    osg::ref_ptr<osg::Geometry> textured = makeQuads();
    osg::ref_ptr<osg::Vec2Array> texCoords = new osg::Vec2Array;
    textured->setTexCoordArray(0, texCoords.get());
    setTextureState(textured->getOrCreateStateSet(), texture);

    const int width = image.s(), height = image.t();
    const std::vector<int> xs = tileEdges(width, phase.x()), ys = tileEdges(height, phase.y());
    const int columns = static_cast<int>(xs.size()) - 1, rows = static_cast<int>(ys.size()) - 1;
    std::vector<Tile> tiles(static_cast<std::size_t>(columns * rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
        {
            Tile& tile = tiles[r * columns + c];
            tile.uniform = uniformColour(image, xs[c], ys[r], xs[c + 1], ys[r + 1], tile.colour);
            tile.taken = tile.uniform && tile.colour == 0;
        }
    auto joins = [](const Tile& first, const Tile& other) {
        return !other.taken && other.uniform == first.uniform && (!first.uniform || other.colour == first.colour);
    };
    // Rectangles as large as they come, each of one kind: a software rasteriser pays at every
    // edge of a triangle, and most at the diagonal of a long thin quad, which it shades twice.
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
        {
            const Tile first = tiles[r * columns + c];
            if (first.taken)
                continue;
            int c1 = c + 1;
            while (c1 < columns && joins(first, tiles[r * columns + c1]))
                ++c1;
            int r1 = r + 1;
            while (r1 < rows && std::all_of(tiles.begin() + r1 * columns + c, tiles.begin() + r1 * columns + c1,
                                            [&](const Tile& tile) { return joins(first, tile); }))
                ++r1;
            for (int rr = r; rr < r1; ++rr)
                for (int cc = c; cc < c1; ++cc)
                    tiles[rr * columns + cc].taken = true;
            const int x0 = xs[c], x1 = xs[c1], y0 = ys[r], y1 = ys[r1];
            if (first.uniform)
            {
                addQuad(*plain, x, y, x0, y0, x1, y1);
                unsigned char bytes[4];
                std::memcpy(bytes, &first.colour, 4);
                colours->insert(colours->end(), 4, osg::Vec4(bytes[0], bytes[1], bytes[2], bytes[3]) / 255.0f);
                continue;
            }
            addQuad(*textured, x, y, x0, y0, x1, y1);
            const float s0 = float(x0) / width, s1 = float(x1) / width;
            const float t0 = float(y0) / height, t1 = float(y1) / height;
            texCoords->push_back(osg::Vec2(s0, t0));
            texCoords->push_back(osg::Vec2(s1, t0));
            texCoords->push_back(osg::Vec2(s1, t1));
            texCoords->push_back(osg::Vec2(s0, t1));
        }

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    for (osg::Geometry* geometry : {plain.get(), textured.get()})
    {
        const unsigned int count = static_cast<unsigned int>(geometry->getVertexArray()->getNumElements());
        if (count == 0)
            continue;
        geometry->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, count));
        geode->addDrawable(geometry);
    }
    setQuadState(geode->getOrCreateStateSet());
    return geode;
}

class SnapshotNode::StopCallback : public osg::NodeCallback
{
public:
    void operator()(osg::Node* node, osg::NodeVisitor* nv) override
    {
        SnapshotNode* snapshot = static_cast<SnapshotNode*>(node);
        if (snapshot->camera.valid() && snapshot->isDrawn())
        {
            // The HUD maps its units to window pixels; a new layout may move the page off the
            // tiles' grid, and then it is cut again.
            const osg::Vec3d corner = osg::computeLocalToWorld(nv->getNodePath()).getTrans();
            const auto phaseOf = [](double at) {
                const int pixel = static_cast<int>(std::lround(at));
                return ((pixel % tileSize) + tileSize) % tileSize;
            };
            const osg::Vec2i phase(phaseOf(corner.x() + snapshot->originX), phaseOf(corner.y() + snapshot->originY));
            if (snapshot->camera->getNodeMask() != 0 || phase != snapshot->tilePhase)
            {
                snapshot->camera->setNodeMask(0);
                snapshot->tilePhase = phase;
                snapshot->showQuad(makeTiles(*snapshot->image, snapshot->texture.get(), snapshot->originX,
                                             snapshot->originY, phase));
            }
        }
        traverse(node, nv);
    }
};

SnapshotNode::SnapshotNode(osg::Node* subgraph, int x, int y, int width, int height)
    : content(subgraph), image(new osg::Image), drawn(new Flag), originX(x), originY(y)
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
    wholeQuad = new osg::Geode;
    wholeQuad->addDrawable(OverlayResources::makeTexturedQuad(corners.get()));
    texture = OverlayResources::makePixelTexture(image.get());
    osg::StateSet* quadState = wholeQuad->getOrCreateStateSet();
    setTextureState(quadState, texture.get());
    setQuadState(quadState);
    quad = wholeQuad;
    addChild(quad.get());

    setUpdateCallback(new StopCallback);
}

SnapshotNode::SnapshotNode(const SnapshotNode& other, const osg::CopyOp& copyop)
    : osg::Group(other, copyop), content(other.content), camera(other.camera), image(other.image), drawn(other.drawn),
      texture(other.texture), wholeQuad(other.wholeQuad), quad(other.quad), originX(other.originX), originY(other.originY),
      tilePhase(other.tilePhase)
{
}

void SnapshotNode::showQuad(osg::Geode* shown)
{
    replaceChild(quad.get(), shown);
    quad = shown;
}

void SnapshotNode::redraw()
{
    if (!camera.valid())
        return;
    drawn->done = false;
    camera->setNodeMask(~0u);
    // The tiles were cut from the old picture.
    showQuad(wholeQuad.get());
}

} // namespace osgTAVRI
