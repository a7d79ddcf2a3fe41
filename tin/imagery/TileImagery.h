#pragma once

#include "tin/imagery/PointColours.h"
#include "tin/imagery/RasterSource.h"

#include <osg/MatrixTransform>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace osgTAVRI
{

// What a tile wears besides its shape: --texture RASTER (at --textureResolution metres per
// texel, 0 for the raster's own) and --colour rgb.
struct ImageryOptions
{
    std::string texture;
    double textureResolution = 0.0;
    bool colourRgb = false;
};

// The imagery of one run: the texture raster, opened and matched to the LAS files' coordinate
// system before any tile is written, and the points' colours. Workers decorate their tiles
// through it at the same time.
class TileImagery
{
public:
    explicit TileImagery(const ImageryOptions& options);
    ~TileImagery();

    // Opens the raster and compares coordinate systems (one line when they differ or one is
    // unknown). False, with the reason, when the raster cannot be read.
    bool prepare(const std::vector<std::string>& lasFiles, std::string& error);

    // The colour store the point distributor fills, or null without --colour rgb.
    PointColours* getColours() { return colours.get(); }
    void setColourBudget(std::uint64_t bytes, const std::string& folder = "");

    // Colours (when asked for) of a tile's points, taken before the triangulator reorders them.
    PointColours::Taken takeColours(std::uint64_t tile, const osg::Vec3dArray& points);
    // Colours and textures a built tile of the box `bounds`. Counts the tiles the raster does
    // not cover.
    void decorate(osg::MatrixTransform& tile, const osg::BoundingBoxd& bounds, const PointColours::Taken& colours);

    // The run's line about tiles left untextured, "" when every tile got its texture.
    std::string uncoveredLine(unsigned tiles) const;

private:
    ImageryOptions options;
    osg::ref_ptr<RasterSource> raster;
    std::unique_ptr<PointColours> colours;
    std::atomic<unsigned> uncovered{0};
};

} // namespace osgTAVRI
