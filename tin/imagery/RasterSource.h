#pragma once

#include <osg/BoundingBox>
#include <osg/Image>
#include <osg/Referenced>
#include <osg/ref_ptr>

#include <string>

namespace osgTAVRI
{

// An aerial image cut into one texture per tile. tin sees only this interface: the reading
// itself needs GDAL and lives in the imagery module, which is loaded for --texture alone.
class RasterSource : public osg::Referenced
{
public:
    const std::string& getPath() const { return path; }
    // OGC WKT, "" when the raster carries no coordinate system.
    const std::string& getCoordinateSystem() const { return rasterWkt; }

    // The tiles' coordinate system (WKT of the LAS files, "" when unknown). When both are known
    // and differ, every cut is warped into it. Returns the one line that tells what was decided,
    // or "" when both are known and equal.
    virtual std::string matchCoordinateSystem(const std::string& lidarWkt) = 0;
    bool isWarped() const { return warped; }

    // Metres of the ground per raster pixel over the area (across a warp too); 0 when the
    // raster does not meet the area.
    virtual double groundResolution(const osg::BoundingBoxd& area) const = 0;

    // The texture of a ground area (in the tiles' coordinates): RGB, row 0 at the area's south
    // edge, `resolution` metres per texel (0: the raster's own), each side a power of two and
    // at most maxTextureSize. Parts of the area outside the raster are plain grey. Null when the
    // raster does not meet the area at all or cannot be read there.
    virtual osg::ref_ptr<osg::Image> cut(const osg::BoundingBoxd& area, double resolution) const = 0;

    static const int maxTextureSize = 4096;

protected:
    ~RasterSource() override = default;

    std::string path;
    std::string rasterWkt;
    bool warped = false;
};

// Edge of a texture that shows `needed` texels: the next power of two, at most `limit`.
inline int textureEdge(double needed, int limit = RasterSource::maxTextureSize)
{
    int edge = 1;
    while (edge < limit && double(edge) < needed - 1e-6)
        edge *= 2;
    return edge;
}

} // namespace osgTAVRI
