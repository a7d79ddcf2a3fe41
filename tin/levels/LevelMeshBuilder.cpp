#include "tin/levels/LevelMeshBuilder.h"

#include "tin/levels/LevelHeights.h"
#include "tin/tiling/TileGrid.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>

#include <cmath>
#include <vector>

namespace osgTAVRI
{

namespace
{
const unsigned none = ~0u;
}

LevelMeshBuilder::LevelMeshBuilder(const TileGrid& tileGrid, const LevelHeights& levelHeights)
    : grid(tileGrid), heights(levelHeights)
{
}

double LevelMeshBuilder::cellSize(unsigned level) const
{
    return std::ldexp(grid.getTileSize(), int(level)) / heights.getCellsPerTile();
}

osg::BoundingBoxd LevelMeshBuilder::bounds(const LevelNode& node) const
{
    const unsigned n = heights.getCellsPerTile();
    const long step = 1L << node.level;
    const long i0 = long(node.column) * step * n, j0 = long(node.row) * step * n;
    const double side = std::ldexp(grid.getTileSize(), int(node.level));
    const double x0 = grid.columnMin(0) + node.column * side, y0 = grid.rowMin(0) + node.row * side;
    osg::BoundingBoxd box;
    for (unsigned j = 0; j <= n; ++j)
        for (unsigned i = 0; i <= n; ++i)
        {
            const float h = heights.at(i0 + i * step, j0 + j * step);
            if (!std::isnan(h))
            {
                box.expandBy(osg::Vec3d(x0, y0, h));
                box.expandBy(osg::Vec3d(x0 + side, y0 + side, h));
            }
        }
    return box;
}

osg::Vec4ub LevelMeshBuilder::averageColour(long i, long j, long step) const
{
    // A box filter over the finest lattice: the colours of the step x step block around the
    // vertex, so coarse levels show the mean of the ground they stand for, not one point's.
    unsigned sum[3] = {0, 0, 0}, count = 0;
    for (long dj = -step / 2; dj < step - step / 2; ++dj)
        for (long di = -step / 2; di < step - step / 2; ++di)
        {
            const osg::Vec4ub c = heights.colourAt(i + di, j + dj);
            if (c.a() == 0)
                continue;
            for (int k = 0; k < 3; ++k)
                sum[k] += c[k];
            ++count;
        }
    if (count == 0)
        return osg::Vec4ub(255, 255, 255, 255); // as the ground without colours
    return osg::Vec4ub((unsigned char)((sum[0] + count / 2) / count), (unsigned char)((sum[1] + count / 2) / count),
                       (unsigned char)((sum[2] + count / 2) / count), 255);
}

osg::ref_ptr<osg::Node> LevelMeshBuilder::build(const LevelNode& node) const
{
    const unsigned n = heights.getCellsPerTile();
    const long step = 1L << node.level;
    const long i0 = long(node.column) * step * n, j0 = long(node.row) * step * n;
    const double cell = cellSize(node.level);
    const double side = cell * n;
    const osg::Vec3d centre(grid.columnMin(0) + (node.column + 0.5) * side,
                            grid.rowMin(0) + (node.row + 0.5) * side, 0.0);

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec2Array> texCoords = new osg::Vec2Array;
    osg::ref_ptr<osg::Vec4ubArray> colours = heights.hasColours() ? new osg::Vec4ubArray : nullptr;
    std::vector<unsigned> index((n + 1) * (n + 1), none);
    for (unsigned j = 0; j <= n; ++j)
        for (unsigned i = 0; i <= n; ++i)
        {
            const long gi = i0 + i * step, gj = j0 + j * step;
            const float h = heights.at(gi, gj);
            if (std::isnan(h))
                continue;
            // Central differences on the shared lattice, one-sided where a neighbour is missing.
            auto slope = [&](long di, long dj) {
                const float ahead = heights.at(gi + di, gj + dj), behind = heights.at(gi - di, gj - dj);
                if (!std::isnan(ahead) && !std::isnan(behind))
                    return (ahead - behind) / (2.0 * cell);
                if (!std::isnan(ahead))
                    return (ahead - h) / cell;
                if (!std::isnan(behind))
                    return (h - behind) / cell;
                return 0.0;
            };
            osg::Vec3 normal(float(-slope(step, 0)), float(-slope(0, step)), 1.0f);
            normal.normalize();
            index[j * (n + 1) + i] = unsigned(vertices->size());
            vertices->push_back(osg::Vec3(float(i * cell - side / 2), float(j * cell - side / 2), h));
            normals->push_back(normal);
            texCoords->push_back(osg::Vec2(float(i) / n, float(j) / n));
            if (colours.valid())
                colours->push_back(averageColour(gi, gj, step));
        }

    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    auto add = [&](unsigned a, unsigned b, unsigned c) {
        triangles->push_back(a);
        triangles->push_back(b);
        triangles->push_back(c);
    };
    for (unsigned j = 0; j < n; ++j)
        for (unsigned i = 0; i < n; ++i)
        {
            const unsigned a = index[j * (n + 1) + i], b = index[j * (n + 1) + i + 1];
            const unsigned c = index[(j + 1) * (n + 1) + i + 1], d = index[(j + 1) * (n + 1) + i];
            const int valid = (a != none) + (b != none) + (c != none) + (d != none);
            if (valid == 4)
            {
                add(a, b, c);
                add(a, c, d);
            }
            else if (valid == 3) // a corner without ground: keep the other three
            {
                if (a == none)
                    add(b, c, d);
                else if (b == none)
                    add(a, c, d);
                else if (c == none)
                    add(a, b, d);
                else
                    add(a, b, c);
            }
        }
    if (triangles->empty())
        return nullptr;

    // The skirt leans outward under the neighbour and down: a neighbour drawn finer or coarser
    // meets it in the gap between the two edges, and slivers that a finer tile's trimmed edge
    // leaves open show the skirt just below instead of the background. Both windings, so it
    // is seen from either side with back faces culled.
    const float depth = float(1.5 * cell), out = float(0.5 * cell);
    auto skirtEdge = [&](unsigned fromI, unsigned fromJ, int di, int dj, const osg::Vec3& outward) {
        unsigned lastTop = none, lastBottom = none;
        for (unsigned k = 0; k <= n; ++k)
        {
            const unsigned top = index[(fromJ + k * dj) * (n + 1) + fromI + k * di];
            if (top == none)
            {
                lastTop = none;
                continue;
            }
            const unsigned bottom = unsigned(vertices->size());
            vertices->push_back((*vertices)[top] + outward * out - osg::Vec3(0.0f, 0.0f, depth));
            normals->push_back((*normals)[top]);
            texCoords->push_back((*texCoords)[top]);
            if (colours.valid())
                colours->push_back((*colours)[top]);
            if (lastTop != none)
            {
                add(lastTop, top, bottom);
                add(lastTop, bottom, lastBottom);
                add(lastTop, bottom, top);
                add(lastTop, lastBottom, bottom);
            }
            lastTop = top;
            lastBottom = bottom;
        }
    };
    skirtEdge(0, 0, 1, 0, osg::Vec3(0.0f, -1.0f, 0.0f));
    skirtEdge(n, 0, 0, 1, osg::Vec3(1.0f, 0.0f, 0.0f));
    skirtEdge(0, n, 1, 0, osg::Vec3(0.0f, 1.0f, 0.0f));
    skirtEdge(0, 0, 0, 1, osg::Vec3(-1.0f, 0.0f, 0.0f));

    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->setNormalArray(normals.get(), osg::Array::BIND_PER_VERTEX);
    geometry->setTexCoordArray(0, texCoords.get(), osg::Array::BIND_PER_VERTEX);
    if (colours.valid())
        geometry->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(triangles.get());
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    osg::ref_ptr<osg::MatrixTransform> transform = new osg::MatrixTransform(osg::Matrixd::translate(centre));
    transform->addChild(geode.get());
    return transform;
}

} // namespace osgTAVRI
