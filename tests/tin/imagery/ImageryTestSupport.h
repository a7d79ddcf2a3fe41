#pragma once

#include <osg/Node>
#include <osg/Vec3d>
#include <osg/Vec4ub>

#include <functional>
#include <string>
#include <vector>

// Rasters and scans with known content for the tests of tin's imagery, and what a written
// tile shows at its vertices.
namespace imagerytest
{

using Rgb = osg::Vec4ub;

// A pattern of 25 m cells, each with its own colour; `margin` is how far (x, y) lies from the
// nearest cell edge, so that tests can leave out points where resampling blends two cells.
Rgb cellColour(double x, double y);
double distanceToCellEdge(double x, double y);

// OGC WKT of an EPSG code.
std::string wktOf(int epsg);

// Writes a 3-band GeoTIFF through GDAL: `columns` x `rows` pixels with the given geotransform
// and coordinate system (EPSG code, 0 for none); each pixel's colour comes from `colourAt`,
// called with the pixel centre in the raster's own coordinates. With `palette`, one band of
// indices into a colour table instead (at most 256 colours).
void writeRaster(const std::string& path, int columns, int rows, const double geoTransform[6], int epsg,
                 const std::function<Rgb(double, double)>& colourAt, bool palette = false);

// Ground points every 4 m (jittered) over [x0, x1] x [y0, y1], in the given system ("" for
// none), written as LAS 1.2 point format 1.
void writeGround(const std::string& path, double x0, double y0, double x1, double y1, const std::string& wkt);

// A vertex of a written tile in world coordinates, with the texel its texture coordinates fall
// on (nearest) and its colour, when the tile has them.
struct Sample
{
    osg::Vec3d world;
    bool textured = false;
    Rgb texel;
    bool coloured = false;
    Rgb colour;
};
struct TileSamples
{
    int textureColumns = 0;
    int textureRows = 0;
    std::vector<Sample> samples; // the vertices that triangles use
};
TileSamples sampleTile(const std::string& ivePath);
// The same for a surface of that shape already read (a coarse level's, say), named in failures.
TileSamples sampleTile(osg::Node& node, const std::string& name);

// Largest difference between two colours in any channel.
int colourDistance(const Rgb& a, const Rgb& b);

} // namespace imagerytest
