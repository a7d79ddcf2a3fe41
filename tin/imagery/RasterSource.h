#pragma once

#include <osg/BoundingBox>
#include <osg/Image>
#include <osg/Referenced>
#include <osg/ref_ptr>

#include <string>

class GDALDataset;

namespace osgTAVRI
{

// An aerial image that GDAL opens (GeoTIFF, JPEG with a world file, JPEG 2000, a VRT mosaic),
// cut into one texture per tile. Only the window under a tile is read, so memory follows the
// tile and not the raster. Every cut opens its own handle on the raster, so worker threads
// cut their tiles at the same time without sharing one.
class RasterSource : public osg::Referenced
{
public:
    // Null, and `error` set to GDAL's reason, when the raster cannot be opened or holds no
    // georeferenced image of one to four bands.
    static osg::ref_ptr<RasterSource> open(const std::string& path, std::string& error);

    const std::string& getPath() const { return path; }
    // OGC WKT, "" when the raster carries no coordinate system.
    const std::string& getCoordinateSystem() const { return rasterWkt; }

    // The tiles' coordinate system (WKT of the LAS files, "" when unknown). When both are known
    // and differ, every cut is warped into it. Returns the one line that tells what was decided,
    // or "" when both are known and equal.
    std::string matchCoordinateSystem(const std::string& lidarWkt);
    bool isWarped() const { return warped; }

    // Metres of the ground per raster pixel over the area (across a warp too); 0 when the
    // raster does not meet the area.
    double groundResolution(const osg::BoundingBoxd& area) const;

    // The texture of a ground area (in the tiles' coordinates): RGB, row 0 at the area's south
    // edge, `resolution` metres per texel (0: the raster's own), each side a power of two and
    // at most maxTextureSize. Parts of the area outside the raster are plain grey. Null when the
    // raster does not meet the area at all or cannot be read there.
    osg::ref_ptr<osg::Image> cut(const osg::BoundingBoxd& area, double resolution) const;

    static const int maxTextureSize = 4096;

protected:
    ~RasterSource() override = default;

private:
    struct Window
    {
        double x0, y0, x1, y1; // raster pixels (x east, y down), as floats
    };
    bool pixelWindow(const osg::BoundingBoxd& area, Window& window) const;
    bool readDirect(GDALDataset& dataset, const Window& window, osg::Image& image) const;
    bool readWarped(GDALDataset& dataset, const osg::BoundingBoxd& area, osg::Image& image) const;

    std::string path;
    std::string rasterWkt;
    std::string lidarWkt;
    bool warped = false;
    int width = 0;
    int height = 0;
    int bands = 0;
    double geoTransform[6] = {0, 1, 0, 0, 0, 1};
    double inverse[6] = {0, 1, 0, 0, 0, 1};
};

// Edge of a texture that shows `needed` texels: the next power of two, at most `limit`.
int textureEdge(double needed, int limit = RasterSource::maxTextureSize);

} // namespace osgTAVRI
