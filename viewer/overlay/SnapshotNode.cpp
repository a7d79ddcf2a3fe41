#include "viewer/overlay/SnapshotNode.h"

#include "viewer/overlay/OverlayResources.h"

#include <osg/BlendFunc>
#include <osg/NodeCallback>
#include <osg/ShadeModel>
#include <osg/TexEnv>
#include <osg/Transform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
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
    // A row's address at a time: the image works out its pixel size at every call.
    for (int y = y0; y < y1; ++y)
    {
        const unsigned char* row = image.data(0, y);
        for (int x = x0; x < x1; ++x)
            if (std::memcmp(&colour, row + 4 * x, 4) != 0)
                return false;
    }
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

// One 8-bit blend of a premultiplied source over a destination channel, rounded as the
// framebuffer rounds.
int blendLevel(int source, int sourceAlpha, int destination)
{
    return (source * 255 + (255 - sourceAlpha) * destination + 127) / 255;
}

// A pixel p of the page as a layer t over the panel colour c, all premultiplied, such that t
// over c over any background shows p over it to within one level, the panel's own rounding
// included; or p cannot be had over c (it lets through more than c does). The page's rounding
// to 8 bits makes the exact coverage (1 - ta)(1 - ca) = 1 - pa a poor guess for ta: the levels
// near it are tried too, and for each colour the levels either side of t = p - (1 - ta) c.
bool overPanel(const unsigned char* p, const unsigned char* c, unsigned char* t)
{
    if (std::memcmp(p, c, 4) == 0)
    {
        std::memset(t, 0, 4);
        return true;
    }
    // Texels of no coverage drew nothing here on llvmpipe, whatever their colour: a layer that
    // adds colour keeps some coverage.
    const long guess = c[3] == 255 ? 255 : std::lround(255.0 - 255.0 * (255.0 - p[3]) / (255.0 - c[3]));
    // Misses are compared at worst, then in sum over all backgrounds.
    std::pair<int, int> least{256, 0};
    int whole[3][256], under[3][256];
    for (int k = 0; k < 3; ++k)
        for (int background = 0; background < 256; ++background)
        {
            whole[k][background] = blendLevel(p[k], p[3], background);
            under[k][background] = blendLevel(c[k], c[3], background);
        }
    for (long alpha = std::max(1L, guess - 4); alpha <= std::min(255L, guess + 4); ++alpha)
    {
        unsigned char layer[4] = {0, 0, 0, static_cast<unsigned char>(alpha)};
        std::pair<int, int> miss{0, 0};
        for (int k = 0; k < 3; ++k)
        {
            const double ideal = p[k] - (255.0 - alpha) / 255.0 * c[k];
            std::pair<int, int> channelMiss{256, 0};
            for (const double level : {std::floor(ideal), std::ceil(ideal)})
            {
                const int candidate = static_cast<int>(std::clamp(level, 0.0, 255.0));
                std::pair<int, int> candidateMiss{0, 0};
                for (int background = 0; background < 256 && candidateMiss.first <= channelMiss.first; ++background)
                {
                    const int error =
                        std::abs(whole[k][background] - blendLevel(candidate, int(alpha), under[k][background]));
                    candidateMiss.first = std::max(candidateMiss.first, error);
                    candidateMiss.second += error;
                }
                if (candidateMiss < channelMiss)
                {
                    channelMiss = candidateMiss;
                    layer[k] = static_cast<unsigned char>(candidate);
                }
            }
            miss = {std::max(miss.first, channelMiss.first), miss.second + channelMiss.second};
        }
        if (miss < least)
        {
            least = miss;
            std::memcpy(t, layer, 4);
        }
    }
    return least.first <= 1;
}

// overPanel for every pixel of one colour at once: a page has a few hundred colours.
class PanelLayers
{
public:
    explicit PanelLayers(std::uint32_t panel) : colour(panel) {}
    bool layer(const unsigned char* p, unsigned char* t)
    {
        std::uint32_t key;
        std::memcpy(&key, p, 4);
        if (key == colour)
        {
            std::memset(t, 0, 4);
            return true;
        }
        auto found = known.find(key);
        if (found == known.end())
        {
            std::pair<bool, std::uint32_t> entry;
            unsigned char bytes[4];
            entry.first = overPanel(p, reinterpret_cast<const unsigned char*>(&colour), bytes);
            std::memcpy(&entry.second, bytes, 4);
            found = known.emplace(key, entry).first;
        }
        std::memcpy(t, &found->second.second, 4);
        return found->second.first;
    }

private:
    std::uint32_t colour;
    std::map<std::uint32_t, std::pair<bool, std::uint32_t>> known;
};

// The tiles (columns c0 to c1, rows r0 to r1) of the largest rectangle all of whose tiles fit.
std::array<int, 4> largestRectangle(const std::vector<char>& fits, int columns, int rows)
{
    std::array<int, 4> best{0, 0, 0, 0};
    int bestArea = 0;
    std::vector<int> heights(static_cast<std::size_t>(columns), 0);
    for (int r = 0; r < rows; ++r)
    {
        for (int c = 0; c < columns; ++c)
            heights[c] = fits[r * columns + c] ? heights[c] + 1 : 0;
        for (int c = 0; c < columns; ++c)
        {
            const int h = heights[c];
            if (h == 0)
                continue;
            int left = c, right = c + 1;
            while (left > 0 && heights[left - 1] >= h)
                --left;
            while (right < columns && heights[right] >= h)
                ++right;
            if ((right - left) * h > bestArea)
            {
                bestArea = (right - left) * h;
                best = {left, r + 1 - h, right, r + 1};
            }
        }
    }
    return best;
}

struct Tile
{
    bool uniform;
    std::uint32_t colour;
    bool taken; // drawn by a rectangle already, or transparent
};

struct Panel
{
    std::array<int, 4> tiles{0, 0, 0, 0}; // columns c0 to c1, rows r0 to r1
    std::uint32_t colour = 0;
};

// Most of a page is its panel: one plain quad of the panel colour under the largest rectangle
// that can have it, and over it only what differs, the texts. Their tiles then meet the panel
// at no edge, and its pixels are shaded once. Writes the layer over the panel into `layer`
// inside it; the panel covers no tile when it would cover less than half of them.
Panel findPanel(const osg::Image& page, const std::vector<int>& xs, const std::vector<int>& ys,
                const std::vector<Tile>& tiles, osg::Image& layer)
{
    std::map<std::uint32_t, int> plainColours;
    for (const Tile& tile : tiles)
        if (tile.uniform && tile.colour != 0)
            ++plainColours[tile.colour];
    Panel panel;
    if (plainColours.empty())
        return panel;
    panel.colour = std::max_element(plainColours.begin(), plainColours.end(), [](const auto& a, const auto& b) {
                       return a.second < b.second;
                   })->first;
    const int columns = static_cast<int>(xs.size()) - 1, rows = static_cast<int>(ys.size()) - 1;
    PanelLayers layers(panel.colour);
    std::vector<char> fits(tiles.size(), 1);
    unsigned char texel[4];
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            for (int y = ys[r]; y < ys[r + 1] && fits[r * columns + c]; ++y)
            {
                const unsigned char* row = page.data(0, y);
                for (int x = xs[c]; x < xs[c + 1]; ++x)
                    if (!layers.layer(row + 4 * x, texel))
                    {
                        fits[r * columns + c] = 0;
                        break;
                    }
            }
    panel.tiles = largestRectangle(fits, columns, rows);
    if (2 * (panel.tiles[2] - panel.tiles[0]) * (panel.tiles[3] - panel.tiles[1]) < columns * rows)
        return Panel();
    for (int y = ys[panel.tiles[1]]; y < ys[panel.tiles[3]]; ++y)
    {
        const unsigned char* from = page.data(0, y);
        unsigned char* to = layer.data(0, y);
        for (int x = xs[panel.tiles[0]]; x < xs[panel.tiles[2]]; ++x)
            layers.layer(from + 4 * x, to + 4 * x);
    }
    return panel;
}
} // namespace

osg::ref_ptr<osg::Geode> SnapshotNode::makeTiles(const osg::Image& page, int x, int y, const osg::Vec2i& phase)
{
    const int width = page.s(), height = page.t();
    const std::vector<int> xs = tileEdges(width, phase.x()), ys = tileEdges(height, phase.y());
    const int columns = static_cast<int>(xs.size()) - 1, rows = static_cast<int>(ys.size()) - 1;
    std::vector<Tile> tiles(static_cast<std::size_t>(columns * rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
        {
            Tile& tile = tiles[r * columns + c];
            tile.uniform = uniformColour(page, xs[c], ys[r], xs[c + 1], ys[r + 1], tile.colour);
        }

    osg::ref_ptr<osg::Image> image = new osg::Image(page, osg::CopyOp::DEEP_COPY_ALL);
    const Panel panel = findPanel(page, xs, ys, tiles, *image);
    for (int r = panel.tiles[1]; r < panel.tiles[3]; ++r)
        for (int c = panel.tiles[0]; c < panel.tiles[2]; ++c)
        {
            Tile& tile = tiles[r * columns + c];
            tile.uniform = uniformColour(*image, xs[c], ys[r], xs[c + 1], ys[r + 1], tile.colour);
        }
    for (Tile& tile : tiles)
        tile.taken = tile.uniform && tile.colour == 0;

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
    osg::ref_ptr<osg::Texture2D> texture = OverlayResources::makePixelTexture(image.get());
    setTextureState(textured->getOrCreateStateSet(), texture.get());
    auto addPlain = [&](std::uint32_t colour, int x0, int y0, int x1, int y1) {
        addQuad(*plain, x, y, x0, y0, x1, y1);
        unsigned char bytes[4];
        std::memcpy(bytes, &colour, 4);
        colours->insert(colours->end(), 4, osg::Vec4(bytes[0], bytes[1], bytes[2], bytes[3]) / 255.0f);
    };
    if (panel.tiles[2] > panel.tiles[0])
        addPlain(panel.colour, xs[panel.tiles[0]], ys[panel.tiles[1]], xs[panel.tiles[2]], ys[panel.tiles[3]]);

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
                addPlain(first.colour, x0, y0, x1, y1);
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
                snapshot->showQuad(makeTiles(*snapshot->image, snapshot->originX, snapshot->originY, phase));
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
