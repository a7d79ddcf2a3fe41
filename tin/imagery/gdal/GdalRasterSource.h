#pragma once

#include "tin/imagery/RasterSource.h"

#include <mutex>
#include <vector>

class GDALDataset;

namespace osgTAVRI
{

// A raster that GDAL opens (GeoTIFF, JPEG with a world file, JPEG 2000, a VRT mosaic). Only
// the window under a tile is read, so memory follows the tile and not the raster. A cut takes
// a handle on the raster no other thread holds, so worker threads cut their tiles at the same
// time; handles are kept from tile to tile, and with them the blocks neighbouring tiles share
// (GDAL's block cache, at most 256 MB).
class GdalRasterSource : public RasterSource
{
public:
    // Null, and `error` set to GDAL's reason, when the raster cannot be opened or holds no
    // georeferenced image of one to four bands.
    static osg::ref_ptr<RasterSource> open(const std::string& path, std::string& error);

    std::string matchCoordinateSystem(const std::string& lidarWkt) override;
    double groundResolution(const osg::BoundingBoxd& area) const override;
    osg::ref_ptr<osg::Image> cut(const osg::BoundingBoxd& area, double resolution) const override;

protected:
    ~GdalRasterSource() override;

private:
    struct Window
    {
        double x0, y0, x1, y1; // raster pixels (x east, y down), as floats
    };
    bool pixelWindow(const osg::BoundingBoxd& area, Window& window) const;
    bool readDirect(GDALDataset& dataset, const Window& window, osg::Image& image) const;
    bool readWarped(GDALDataset& dataset, const osg::BoundingBoxd& area, osg::Image& image) const;
    GDALDataset* takeHandle() const;
    void returnHandle(GDALDataset* handle) const;

    std::string lidarWkt;
    int width = 0;
    int height = 0;
    int bands = 0;
    double geoTransform[6] = {0, 1, 0, 0, 0, 1};
    double inverse[6] = {0, 1, 0, 0, 0, 1};
    mutable std::mutex handlesMutex;
    mutable std::vector<GDALDataset*> idleHandles;
};

} // namespace osgTAVRI
