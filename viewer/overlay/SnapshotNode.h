#pragma once

#include <osg/Camera>
#include <osg/Geode>
#include <osg/Group>
#include <osg/Image>
#include <osg/Texture2D>
#include <osg/Vec2i>

#include <atomic>

namespace osgTAVRI
{

// Shows a subgraph of the overlay as an image of it drawn once. A software renderer pays for
// every glyph of a text on every frame; a page that does not change is drawn into an image
// (a render-to-texture camera that reads the result back) on the first frame that shows it,
// and from then on costs one textured quad. The quad covers the same window pixels that the
// subgraph would, and what it shows blends with what lies behind as the subgraph itself would.
// Once the image is read back, the quad is cut into tiles: a software renderer pays for every
// texel it fetches, and most of a page is one plain colour, drawn as untextured quads.
class SnapshotNode : public osg::Group
{
public:
    SnapshotNode() = default;
    // The region (x, y) to (x + width, y + height) of the content's coordinates, in pixels.
    SnapshotNode(osg::Node* content, int x, int y, int width, int height);
    SnapshotNode(const SnapshotNode& other, const osg::CopyOp& copyop = osg::CopyOp::SHALLOW_COPY);

    META_Node(osgTAVRI, SnapshotNode)

    osg::Node* getContent() const { return content.get(); }
    osg::Image* getImage() const { return image.get(); }
    // The image holds the content as it was when it was last drawn.
    bool isDrawn() const { return drawn && drawn->done; }
    // Draws the content again at the next frame that shows the node, after it changed.
    void redraw();
    // What shows the image now: the whole textured quad until the image is drawn, its tiles after.
    osg::Geode* getQuad() const { return quad.get(); }

    // Tiles of the image, placed with its lower left corner at (x, y) and cut where window
    // coordinates are multiples of the tile size (`phase`: the window coordinates of the image's
    // corner modulo it): tiles of one uniform colour join into untextured rectangles of that
    // colour, other tiles into textured rectangles, and transparent tiles are not drawn. The
    // commonest plain colour is drawn first as one rectangle under as much of the image as it
    // can lie under; the tiles there show only what differs from it, layered over it to within
    // one level of each pixel. The first quad of the first drawable is that panel, if any.
    static osg::ref_ptr<osg::Geode> makeTiles(const osg::Image& image, int x, int y,
                                              const osg::Vec2i& phase = osg::Vec2i(0, 0));
    static const int tileSize = 8;

    struct Flag : osg::Referenced
    {
        std::atomic<bool> done{false};
    };

protected:
    ~SnapshotNode() override = default;

    // The camera stops drawing once it has drawn: a change of the scene graph belongs in the
    // update traversal, not in the draw thread that learns of it.
    class StopCallback;

    osg::ref_ptr<osg::Node> content;
    osg::ref_ptr<osg::Camera> camera;
    osg::ref_ptr<osg::Image> image;
    osg::ref_ptr<Flag> drawn;
    osg::ref_ptr<osg::Texture2D> texture;
    osg::ref_ptr<osg::Geode> wholeQuad;
    osg::ref_ptr<osg::Geode> quad;
    int originX = 0, originY = 0;
    osg::Vec2i tilePhase;

    void showQuad(osg::Geode* shown);
};

} // namespace osgTAVRI
