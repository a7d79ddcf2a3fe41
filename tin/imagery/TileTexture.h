#pragma once

#include <osg/BoundingBox>
#include <osg/Geometry>
#include <osg/Image>
#include <osg/MatrixTransform>
#include <osg/ref_ptr>

#include <vector>

namespace osgTAVRI
{

// A texture and the ground area (world X and Y) that it spans.
struct AreaTexture
{
    osg::ref_ptr<osg::Image> image;
    osg::BoundingBoxd area;
};

// The geometry of a tile as tin writes it: transform, geode, one geometry. Null otherwise.
osg::Geometry* tileGeometry(osg::Node& tile);

// The area a tile's texture spans at `resolution` metres per texel: the tile's box, grown on
// every side by half the texels that rounding its texture up to a power of two leaves over.
// Texels are then exactly the resolution asked for, the triangles that cross the tile's edge
// find their texels, and where the box lies on the raster's pixel grid so does every texel.
osg::BoundingBoxd textureArea(const osg::BoundingBoxd& tileBox, double resolution);

// Gives the tile its texture: stored with the tile, mip-mapped, modulating the lit ground colour
// as before, and under the viewer's texture switch like any other texture. Each vertex's texture
// coordinate is its place in the texture's area, made from its position by two planes when it
// is drawn rather than stored: a stored coordinate would add a sixth to the tile's size.
void applyTexture(osg::Geometry& geometry, const osg::Vec3d& centre, const AreaTexture& texture);

// The texture coordinate of every vertex, stored or made by the planes; null when the geometry
// has neither.
osg::ref_ptr<const osg::Vec2Array> textureCoordinates(const osg::Geometry& geometry);

// The texture of a tile and the area it spans, read back from its texture planes (or the
// coordinates of tiles that store them); no image when the tile is untextured.
AreaTexture tileTexture(osg::Node& tile);

// A coarser texture of `area`, `columns` x `rows` texels, each the average of the children's
// texels under it; where no child lies the texel is plain grey. This is how a level above the
// tiles gets its imagery: from its children's textures, not from the raster again.
osg::ref_ptr<osg::Image> composeTexture(const std::vector<AreaTexture>& children, const osg::BoundingBoxd& area,
                                        int columns, int rows);

} // namespace osgTAVRI
