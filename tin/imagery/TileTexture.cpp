#include "tin/imagery/TileTexture.h"

#include "tin/imagery/RasterSource.h"

#include <osg/Geode>
#include <osg/TexGen>
#include <osg/Texture2D>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace osgTAVRI
{

namespace
{
const unsigned char uncovered = 170;

osg::Vec3d translationOf(const osg::Node& tile)
{
    const osg::MatrixTransform* transform = dynamic_cast<const osg::MatrixTransform*>(&tile);
    return transform ? transform->getMatrix().getTrans() : osg::Vec3d();
}

// One axis of a texture's area from the vertex with the smallest and the one with the largest
// coordinate: the coordinates grow linearly with world position.
bool recoverAxis(double worldA, double coordA, double worldB, double coordB, double& lo, double& hi)
{
    if (!(coordB - coordA > 1e-6))
        return false;
    const double size = (worldB - worldA) / (coordB - coordA);
    lo = worldA - coordA * size;
    hi = lo + size;
    return true;
}
} // namespace

osg::Geometry* tileGeometry(osg::Node& tile)
{
    osg::Group* group = tile.asGroup();
    osg::Geode* geode = group && group->getNumChildren() == 1 ? group->getChild(0)->asGeode() : nullptr;
    return geode && geode->getNumDrawables() == 1 ? geode->getDrawable(0)->asGeometry() : nullptr;
}

osg::BoundingBoxd textureArea(const osg::BoundingBoxd& box, double resolution)
{
    osg::BoundingBoxd area(box.xMin(), box.yMin(), 0.0, box.xMax(), box.yMax(), 0.0);
    if (!(resolution > 0.0))
        return area;
    const double width = box.xMax() - box.xMin(), height = box.yMax() - box.yMin();
    const double spareX = 0.5 * (textureEdge(width / resolution) * resolution - width);
    const double spareY = 0.5 * (textureEdge(height / resolution) * resolution - height);
    area.set(box.xMin() - spareX, box.yMin() - spareY, 0.0, box.xMax() + spareX, box.yMax() + spareY, 0.0);
    return area;
}

void applyTexture(osg::Geometry& geometry, const osg::Vec3d& centre, const AreaTexture& texture)
{
    if (!texture.image.valid())
        return;
    const osg::BoundingBoxd& area = texture.area;
    const double width = area.xMax() - area.xMin(), height = area.yMax() - area.yMin();
    // Vertices are relative to the tile's centre: s = (x + centre - west edge) / width.
    osg::ref_ptr<osg::TexGen> planes = new osg::TexGen;
    planes->setMode(osg::TexGen::OBJECT_LINEAR);
    planes->setPlane(osg::TexGen::S, osg::Plane(1.0 / width, 0.0, 0.0, (centre.x() - area.xMin()) / width));
    planes->setPlane(osg::TexGen::T, osg::Plane(0.0, 1.0 / height, 0.0, (centre.y() - area.yMin()) / height));

    osg::ref_ptr<osg::Texture2D> map = new osg::Texture2D(texture.image.get());
    map->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    map->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    map->setFilter(osg::Texture::MIN_FILTER, osg::Texture::LINEAR_MIPMAP_LINEAR);
    map->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
    // Ground seen low over the terrain is at a grazing angle; plain mip-mapping blurs it.
    map->setMaxAnisotropy(4.0f);
    // The pixels are in the graphics memory once drawn; the viewer need not keep a second copy.
    map->setUnRefImageDataAfterApply(true);
    // The default modulate mode keeps the lighting of the plain ground.
    osg::StateSet* state = geometry.getOrCreateStateSet();
    state->setTextureAttributeAndModes(0, map.get(), osg::StateAttribute::ON);
    state->setTextureAttributeAndModes(0, planes.get(), osg::StateAttribute::ON);
}

namespace
{
const osg::TexGen* texturePlanes(const osg::Geometry& geometry)
{
    const osg::StateSet* state = geometry.getStateSet();
    const osg::TexGen* planes =
        state ? dynamic_cast<const osg::TexGen*>(state->getTextureAttribute(0, osg::StateAttribute::TEXGEN)) : nullptr;
    return planes && planes->getMode() == osg::TexGen::OBJECT_LINEAR ? planes : nullptr;
}
} // namespace

osg::ref_ptr<const osg::Vec2Array> textureCoordinates(const osg::Geometry& geometry)
{
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
    const osg::TexGen* planes = texturePlanes(geometry);
    if (!planes || !vertices)
        return dynamic_cast<const osg::Vec2Array*>(geometry.getTexCoordArray(0));
    osg::ref_ptr<osg::Vec2Array> coordinates = new osg::Vec2Array;
    coordinates->reserve(vertices->size());
    const osg::Plane& s = planes->getPlane(osg::TexGen::S);
    const osg::Plane& t = planes->getPlane(osg::TexGen::T);
    for (const osg::Vec3& v : *vertices)
        coordinates->push_back(osg::Vec2(float(s.distance(v)), float(t.distance(v))));
    return coordinates;
}

AreaTexture tileTexture(osg::Node& tile)
{
    AreaTexture result;
    osg::Geometry* geometry = tileGeometry(tile);
    const osg::StateSet* state = geometry ? geometry->getStateSet() : nullptr;
    const osg::Texture2D* map =
        state ? dynamic_cast<const osg::Texture2D*>(state->getTextureAttribute(0, osg::StateAttribute::TEXTURE)) : nullptr;
    if (!map || !map->getImage())
        return result;
    const osg::Vec3d centre = translationOf(tile);
    if (const osg::TexGen* planes = texturePlanes(*geometry))
    {
        // s = a x + d is 0 at x = -d / a and 1 at (1 - d) / a.
        const osg::Plane& s = planes->getPlane(osg::TexGen::S);
        const osg::Plane& t = planes->getPlane(osg::TexGen::T);
        if (!(s[0] > 0.0 && t[1] > 0.0))
            return result;
        result.image = const_cast<osg::Image*>(map->getImage());
        result.area.set(centre.x() - s[3] / s[0], centre.y() - t[3] / t[1], 0.0, centre.x() + (1.0 - s[3]) / s[0],
                        centre.y() + (1.0 - t[3]) / t[1], 0.0);
        return result;
    }
    const osg::Vec2Array* coordinates = dynamic_cast<const osg::Vec2Array*>(geometry->getTexCoordArray(0));
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray());
    if (!coordinates || !vertices || coordinates->size() != vertices->size() || vertices->empty())
        return result;
    std::size_t sMin = 0, sMax = 0, tMin = 0, tMax = 0;
    for (std::size_t i = 1; i < coordinates->size(); ++i)
    {
        const osg::Vec2& c = (*coordinates)[i];
        if (c.x() < (*coordinates)[sMin].x()) sMin = i;
        if (c.x() > (*coordinates)[sMax].x()) sMax = i;
        if (c.y() < (*coordinates)[tMin].y()) tMin = i;
        if (c.y() > (*coordinates)[tMax].y()) tMax = i;
    }
    double x0, x1, y0, y1;
    if (!recoverAxis((*vertices)[sMin].x() + centre.x(), (*coordinates)[sMin].x(), (*vertices)[sMax].x() + centre.x(),
                     (*coordinates)[sMax].x(), x0, x1) ||
        !recoverAxis((*vertices)[tMin].y() + centre.y(), (*coordinates)[tMin].y(), (*vertices)[tMax].y() + centre.y(),
                     (*coordinates)[tMax].y(), y0, y1))
        return result;
    result.image = const_cast<osg::Image*>(map->getImage());
    result.area.set(x0, y0, 0.0, x1, y1, 0.0);
    return result;
}

osg::ref_ptr<osg::Image> composeTexture(const std::vector<AreaTexture>& children, const osg::BoundingBoxd& area,
                                        int columns, int rows)
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(columns, rows, 1, GL_RGB, GL_UNSIGNED_BYTE);
    std::memset(image->data(), uncovered, image->getTotalSizeInBytes());
    std::vector<char> done(std::size_t(columns) * rows, 0);
    const double texelX = (area.xMax() - area.xMin()) / columns, texelY = (area.yMax() - area.yMin()) / rows;
    for (const AreaTexture& child : children)
    {
        const osg::Image* from = child.image.get();
        if (!from || from->s() < 1 || from->t() < 1)
            continue;
        // The child's texels under each texel's footprint, one axis at a time (a box filter);
        // empty where the texel's centre lies outside the child.
        const osg::BoundingBoxd& a = child.area;
        auto footprint = [](int count, double lo, double texel, double childLo, double childHi, int texels) {
            std::vector<std::pair<int, int>> ranges(std::size_t(count), {0, 0});
            const double scale = texels / (childHi - childLo);
            for (int k = 0; k < count; ++k)
            {
                const double t0 = lo + k * texel, centre = t0 + 0.5 * texel;
                if (centre < childLo || centre >= childHi)
                    continue;
                const int first = std::max(0, int(std::floor((t0 - childLo) * scale)));
                const int last = std::min(texels, std::max(first + 1, int(std::ceil((t0 + texel - childLo) * scale))));
                ranges[std::size_t(k)] = {first, last};
            }
            return ranges;
        };
        const auto across = footprint(columns, area.xMin(), texelX, a.xMin(), a.xMax(), from->s());
        const auto up = footprint(rows, area.yMin(), texelY, a.yMin(), a.yMax(), from->t());
        // Tiles hold 8-bit RGB: read its bytes; anything else goes through getColor.
        const bool bytes = from->getDataType() == GL_UNSIGNED_BYTE &&
                           (from->getPixelFormat() == GL_RGB || from->getPixelFormat() == GL_RGBA);
        const int step = from->getPixelFormat() == GL_RGBA ? 4 : 3;
        // Row steps once: the image's per-texel address arithmetic is not cheap.
        const std::size_t fromRow = from->getRowStepInBytes(), outRow = image->getRowStepInBytes();
        for (int j = 0; j < rows; ++j)
        {
            const int v0 = up[std::size_t(j)].first, v1 = up[std::size_t(j)].second;
            unsigned char* outRowStart = image->data() + std::size_t(j) * outRow;
            for (int i = 0; i < columns && v1 > v0; ++i)
            {
                const int u0 = across[std::size_t(i)].first, u1 = across[std::size_t(i)].second;
                char& taken = done[std::size_t(j) * columns + i];
                if (u1 <= u0 || taken) // the first child that holds the centre decides
                    continue;
                taken = 1;
                unsigned sum[3] = {0, 0, 0};
                for (int v = v0; v < v1; ++v)
                {
                    const unsigned char* row = from->data() + std::size_t(v) * fromRow;
                    for (int u = u0; u < u1; ++u)
                    {
                        if (bytes)
                            for (int c = 0; c < 3; ++c)
                                sum[c] += row[u * step + c];
                        else
                        {
                            const osg::Vec4 colour = from->getColor(u, v);
                            for (int c = 0; c < 3; ++c)
                                sum[c] += unsigned(std::lround(std::min(1.0f, std::max(0.0f, colour[c])) * 255.0f));
                        }
                    }
                }
                unsigned char* out = outRowStart + std::size_t(i) * 3;
                const unsigned n = unsigned((u1 - u0) * (v1 - v0));
                for (int c = 0; c < 3; ++c)
                    out[c] = (unsigned char)((sum[c] + n / 2) / n);
            }
        }
    }
    return image;
}

} // namespace osgTAVRI
