#include "tin/imagery/TileImagery.h"

#include "tin/imagery/ImageryModule.h"
#include "tin/imagery/TileTexture.h"

#include <osg/Notify>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace osgTAVRI
{

TileImagery::TileImagery(const ImageryOptions& imageryOptions) : options(imageryOptions) {}

TileImagery::~TileImagery() = default;

void TileImagery::setColourBudget(std::uint64_t bytes, const std::string& folder)
{
    if (options.colourRgb)
        colours.reset(new PointColours(bytes, folder));
}

bool TileImagery::prepare(const std::vector<std::string>& lasFiles, std::string& error)
{
    if (options.texture.empty())
        return true;
    const ImageryModule* module = ImageryModule::instance(error);
    if (!module)
        return false;
    std::string reason;
    raster = module->openRaster(options.texture, reason);
    if (!raster.valid())
    {
        error = "cannot read the texture \"" + options.texture + "\": " + reason;
        return false;
    }
    // The first file that declares a system speaks for all of them.
    std::string lidar;
    for (const std::string& file : lasFiles)
    {
        const std::string wkt = module->lasCoordinateSystem(file);
        if (wkt.empty())
            continue;
        if (lidar.empty())
            lidar = wkt;
        else if (wkt != lidar)
        {
            OSG_WARN << "Texture: the LAS files declare different coordinate systems; the first one, of "
                     << lasFiles.front() << " or the next file that has one, is used" << std::endl;
            break;
        }
    }
    const std::string line = raster->matchCoordinateSystem(lidar);
    if (!line.empty())
        OSG_NOTICE << line << std::endl;
#ifdef __GLIBC__
    // Every tile allocates and frees megabytes of texture and raster blocks. Handing them back
    // to the system each time made fresh pages, a page fault each 4 KB, cost a fifth of the
    // textured run; kept, the next tile reuses them.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
    return true;
}

PointColours::Taken TileImagery::takeColours(std::uint64_t tile, const osg::Vec3dArray& points)
{
    return colours ? colours->take(tile, points) : PointColours::Taken();
}

void TileImagery::decorate(osg::MatrixTransform& tile, const osg::BoundingBoxd& bounds,
                           const PointColours::Taken& taken)
{
    osg::Geometry* geometry = tileGeometry(tile);
    if (!geometry)
        return;
    if (taken.colours.valid())
        PointColours::attach(*geometry, taken);
    if (!raster.valid())
        return;
    const osg::Vec3d centre = tile.getMatrix().getTrans();
    // Whether the raster covers the tile is a matter of the tile's own box.
    const osg::BoundingBoxd box(bounds.xMin(), bounds.yMin(), 0.0, bounds.xMax(), bounds.yMax(), 0.0);
    const double own = raster->groundResolution(box);
    AreaTexture texture;
    if (own > 0.0)
    {
        const double resolution = options.textureResolution > 0.0 ? options.textureResolution : own;
        texture.area = textureArea(box, resolution);
        texture.image = raster->cut(texture.area, resolution);
    }
    if (texture.image.valid())
        applyTexture(*geometry, centre, texture);
    else
        ++uncovered;
}

std::string TileImagery::uncoveredLine(unsigned tiles) const
{
    if (!raster.valid() || uncovered == 0)
        return "";
    return "Texture: " + raster->getPath() + " does not cover " + std::to_string(uncovered.load()) + " of " +
           std::to_string(tiles) + " tile(s); they were built untextured";
}

} // namespace osgTAVRI
