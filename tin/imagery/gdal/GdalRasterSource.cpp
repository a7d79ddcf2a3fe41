#include "tin/imagery/gdal/GdalRasterSource.h"

#include <cpl_error.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace osgTAVRI
{

namespace
{
// Ground the raster does not cover: close to the plain untextured ground.
const unsigned char uncovered = 170;

std::once_flag gdalReady;

void prepareGdal()
{
    std::call_once(gdalReady, [] {
        GDALAllRegister();
        // Problems are reported by tin in its own lines; GDAL's would only repeat them.
        CPLSetErrorHandler(CPLQuietErrorHandler);
        // Blocks read for the tiles in flight; a raster of any size fits in this.
        GDALSetCacheMax64(std::int64_t(256) << 20);
    });
}

GDALDatasetUniquePtr openRaster(const std::string& path)
{
    return GDALDatasetUniquePtr(
        GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
}

std::string lastGdalError(const std::string& fallback)
{
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : fallback;
}

std::unique_ptr<OGRSpatialReference> spatialReference(const std::string& wkt)
{
    if (wkt.empty())
        return nullptr;
    std::unique_ptr<OGRSpatialReference> srs(new OGRSpatialReference);
    if (srs->importFromWkt(wkt.c_str()) != OGRERR_NONE)
        return nullptr;
    // x east and y north, whatever axis order the authority gives (latitude first for 4326).
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

std::string describe(const std::string& wkt)
{
    std::unique_ptr<OGRSpatialReference> srs = spatialReference(wkt);
    const char* name = srs ? srs->GetName() : nullptr;
    return name ? name : "an unnamed coordinate system";
}

// The GDAL bands that give red, green and blue; a single band is grey or a palette.
std::vector<int> colourBands(int bands)
{
    return bands >= 3 ? std::vector<int>{1, 2, 3} : std::vector<int>{1, 1, 1};
}

// Expands a single band read into channel 0 of `rgb` to grey or to its palette's colours.
void expandSingleBand(GDALRasterBand& band, unsigned char* rgb, std::size_t pixels)
{
    const GDALColorTable* table = band.GetColorTable();
    for (std::size_t i = 0; i < pixels; ++i)
    {
        unsigned char* p = rgb + 3 * i;
        const GDALColorEntry* entry = table ? table->GetColorEntry(p[0]) : nullptr;
        if (entry)
        {
            p[0] = (unsigned char)entry->c1;
            p[1] = (unsigned char)entry->c2;
            p[2] = (unsigned char)entry->c3;
        }
        else
            p[1] = p[2] = p[0];
    }
}

// The window (x0, y0, xs, ys) as bw x bh RGB pixels at `out`, rows from the north `rowStep`
// bytes apart. A negative step fills a texture, whose row 0 is the south edge, straight from
// GDAL: the start is then the texture's top row.
bool readPixels(GDALDataset& dataset, int bands, int x0, int y0, int xs, int ys, int bw, int bh,
                GDALRasterIOExtraArg* extra, unsigned char* out, GSpacing rowStep)
{
    if (bands >= 3)
    {
        int bandMap[3] = {1, 2, 3};
        return dataset.RasterIO(GF_Read, x0, y0, xs, ys, out, bw, bh, GDT_Byte, 3, bandMap, 3, rowStep, 1,
                                extra) == CE_None;
    }
    GDALRasterBand* first = dataset.GetRasterBand(1);
    if (first->RasterIO(GF_Read, x0, y0, xs, ys, out, bw, bh, GDT_Byte, 3, rowStep, extra) != CE_None)
        return false;
    for (int r = 0; r < bh; ++r)
        expandSingleBand(*first, out + r * rowStep, std::size_t(bw));
    return true;
}

// Texels of `image` outside columns [c0, c1) and rows [r0, r1) (rows from the north) are
// ground the raster does not cover.
void fillOutside(osg::Image& image, int c0, int c1, int r0, int r1)
{
    const int columns = image.s(), rows = image.t();
    for (int j = 0; j < rows; ++j)
    {
        unsigned char* row = image.data(0, rows - 1 - j);
        if (j < r0 || j >= r1 || c0 >= c1)
            std::memset(row, uncovered, std::size_t(columns) * 3);
        else
        {
            std::memset(row, uncovered, std::size_t(c0) * 3);
            std::memset(row + std::size_t(c1) * 3, uncovered, std::size_t(columns - c1) * 3);
        }
    }
}

} // namespace

osg::ref_ptr<RasterSource> GdalRasterSource::open(const std::string& rasterPath, std::string& error)
{
    prepareGdal();
    CPLErrorReset();
    GDALDatasetUniquePtr dataset = openRaster(rasterPath);
    if (!dataset)
    {
        error = lastGdalError("GDAL cannot open it");
        return nullptr;
    }
    osg::ref_ptr<GdalRasterSource> source = new GdalRasterSource;
    source->path = rasterPath;
    source->width = dataset->GetRasterXSize();
    source->height = dataset->GetRasterYSize();
    source->bands = dataset->GetRasterCount();
    if (source->bands < 1 || source->bands > 4 || source->width < 1 || source->height < 1)
    {
        error = "it holds " + std::to_string(source->bands) + " band(s) of " + std::to_string(source->width) +
                " x " + std::to_string(source->height) + " pixels; an image of 1 to 4 bands is needed";
        return nullptr;
    }
    if (dataset->GetGeoTransform(source->geoTransform) != CE_None ||
        !GDALInvGeoTransform(source->geoTransform, source->inverse))
    {
        error = "it has no georeferencing (no geotransform or world file)";
        return nullptr;
    }
    // A raster that opens but cannot deliver pixels (a truncated file) fails here, before any tile.
    unsigned char probe[4];
    if (dataset->RasterIO(GF_Read, source->width / 2, source->height / 2, 1, 1, probe, 1, 1, GDT_Byte, 1,
                          nullptr, 1, 1, 1, nullptr) != CE_None)
    {
        error = lastGdalError("its pixels cannot be read");
        return nullptr;
    }
    if (const OGRSpatialReference* srs = dataset->GetSpatialRef())
    {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt)
            source->rasterWkt = wkt;
        CPLFree(wkt);
    }
    return source;
}

std::string GdalRasterSource::matchCoordinateSystem(const std::string& lidar)
{
    warped = false;
    lidarWkt.clear();
    std::unique_ptr<OGRSpatialReference> tiles = spatialReference(lidar);
    std::unique_ptr<OGRSpatialReference> raster = spatialReference(rasterWkt);
    if (!tiles || !raster)
    {
        std::string which = !tiles && !raster ? "of both the texture " + path + " and the LAS files"
                            : !raster       ? "of the texture " + path
                                            : "of the LAS files";
        return "Texture: the coordinate system " + which +
               " is unknown; the two are assumed to match";
    }
    if (tiles->IsSame(raster.get()))
        return "";
    warped = true;
    lidarWkt = lidar;
    return "Texture: " + path + " is in " + describe(rasterWkt) + ", the LAS files in " + describe(lidar) +
           "; each tile's texture is warped into the LAS files' system";
}

bool GdalRasterSource::pixelWindow(const osg::BoundingBoxd& area, Window& window) const
{
    // A grid over the area: a warp bends straight edges, so corners alone could miss a bulge.
    const int steps = 8;
    std::vector<double> xs, ys;
    for (int j = 0; j <= steps; ++j)
        for (int i = 0; i <= steps; ++i)
        {
            xs.push_back(area.xMin() + (area.xMax() - area.xMin()) * i / steps);
            ys.push_back(area.yMin() + (area.yMax() - area.yMin()) * j / steps);
        }
    if (warped)
    {
        std::unique_ptr<OGRSpatialReference> from = spatialReference(lidarWkt);
        std::unique_ptr<OGRSpatialReference> to = spatialReference(rasterWkt);
        std::unique_ptr<OGRCoordinateTransformation> transform(
            from && to ? OGRCreateCoordinateTransformation(from.get(), to.get()) : nullptr);
        std::vector<int> ok(xs.size(), 0);
        if (!transform || !transform->Transform(int(xs.size()), xs.data(), ys.data(), nullptr, ok.data()))
            return false;
    }
    window = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (std::size_t k = 0; k < xs.size(); ++k)
    {
        if (!std::isfinite(xs[k]) || !std::isfinite(ys[k]))
            continue;
        double px, py;
        GDALApplyGeoTransform(const_cast<double*>(inverse), xs[k], ys[k], &px, &py);
        window.x0 = std::min(window.x0, px);
        window.x1 = std::max(window.x1, px);
        window.y0 = std::min(window.y0, py);
        window.y1 = std::max(window.y1, py);
    }
    return window.x0 < window.x1 && window.y0 < window.y1 && window.x1 > 0.0 && window.x0 < width &&
           window.y1 > 0.0 && window.y0 < height;
}

double GdalRasterSource::groundResolution(const osg::BoundingBoxd& area) const
{
    Window window;
    if (!pixelWindow(area, window))
        return 0.0;
    return std::max((area.xMax() - area.xMin()) / (window.x1 - window.x0),
                    (area.yMax() - area.yMin()) / (window.y1 - window.y0));
}

osg::ref_ptr<osg::Image> GdalRasterSource::cut(const osg::BoundingBoxd& area, double resolution) const
{
    Window window;
    if (!(area.xMax() > area.xMin() && area.yMax() > area.yMin()) || !pixelWindow(area, window))
        return nullptr;
    const double neededX = resolution > 0.0 ? (area.xMax() - area.xMin()) / resolution : window.x1 - window.x0;
    const double neededY = resolution > 0.0 ? (area.yMax() - area.yMin()) / resolution : window.y1 - window.y0;
    const int columns = textureEdge(neededX), rows = textureEdge(neededY);

    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(columns, rows, 1, GL_RGB, GL_UNSIGNED_BYTE);

    GDALDataset* dataset = takeHandle();
    const bool northUp = geoTransform[2] == 0.0 && geoTransform[4] == 0.0;
    const bool read = dataset && (warped || !northUp ? readWarped(*dataset, area, *image)
                                                     : readDirect(*dataset, window, *image));
    returnHandle(dataset);
    return read ? image : nullptr;
}

GdalRasterSource::~GdalRasterSource()
{
    for (GDALDataset* handle : idleHandles)
        GDALClose(GDALDataset::ToHandle(handle));
}

GDALDataset* GdalRasterSource::takeHandle() const
{
    {
        std::lock_guard<std::mutex> lock(handlesMutex);
        if (!idleHandles.empty())
        {
            GDALDataset* handle = idleHandles.back();
            idleHandles.pop_back();
            return handle;
        }
    }
    return openRaster(path).release();
}

void GdalRasterSource::returnHandle(GDALDataset* handle) const
{
    if (!handle)
        return;
    std::lock_guard<std::mutex> lock(handlesMutex);
    idleHandles.push_back(handle);
}

bool GdalRasterSource::readDirect(GDALDataset& dataset, const Window& w, osg::Image& image) const
{
    const int columns = image.s(), rows = image.t();
    // The part of the window inside the raster, and the texels it fills (GDAL's rows from the north).
    const double cx0 = std::max(w.x0, 0.0), cx1 = std::min(w.x1, double(width));
    const double cy0 = std::max(w.y0, 0.0), cy1 = std::min(w.y1, double(height));
    const int c0 = int(std::lround((cx0 - w.x0) / (w.x1 - w.x0) * columns));
    const int c1 = int(std::lround((cx1 - w.x0) / (w.x1 - w.x0) * columns));
    const int r0 = int(std::lround((cy0 - w.y0) / (w.y1 - w.y0) * rows));
    const int r1 = int(std::lround((cy1 - w.y0) / (w.y1 - w.y0) * rows));
    const int bw = c1 - c0, bh = r1 - r0;
    if (bw <= 0 || bh <= 0)
    {
        fillOutside(image, 0, 0, 0, 0);
        return true;
    }
    const int x0 = int(std::floor(cx0)), y0 = int(std::floor(cy0));
    const int xs = std::max(1, std::min(width, int(std::ceil(cx1))) - x0);
    const int ys = std::max(1, std::min(height, int(std::ceil(cy1))) - y0);
    // Raster pixels per texel.
    const double stepX = (cx1 - cx0) / bw, stepY = (cy1 - cy0) / bh;
    const bool palette = bands < 3 && dataset.GetRasterBand(1)->GetColorTable();
    const GSpacing down = -GSpacing(image.getRowStepInBytes());

    // Texels on the raster's own pixels (the usual case: tiles on the pixel grid at the raster's
    // resolution) are a plain copy.
    const bool aligned = std::fabs(stepX - 1.0) < 1e-6 && std::fabs(stepY - 1.0) < 1e-6 &&
                         std::fabs(cx0 - std::round(cx0)) < 1e-6 && std::fabs(cy0 - std::round(cy0)) < 1e-6;
    if (!palette && aligned)
    {
        const int ax = int(std::round(cx0)), ay = int(std::round(cy0));
        const int cw = std::min(bw, width - ax), ch = std::min(bh, height - ay);
        fillOutside(image, c0, c0 + std::max(cw, 0), r0, r0 + std::max(ch, 0));
        return cw <= 0 || ch <= 0 ||
               readPixels(dataset, bands, ax, ay, cw, ch, cw, ch, nullptr, image.data(c0, rows - 1 - r0), down);
    }
    fillOutside(image, c0, c1, r0, r1);
    if (!palette && stepX <= 1.5 && stepY <= 1.5)
    {
        // Near the raster's own resolution the window is read as it is and interpolated here:
        // GDAL's general resampler took longer than building the rest of the tile.
        std::unique_ptr<unsigned char[]> native(new unsigned char[std::size_t(xs) * ys * 3]);
        if (!readPixels(dataset, bands, x0, y0, xs, ys, xs, ys, nullptr, native.get(), GSpacing(xs) * 3))
            return false;
        // Bilinear weights in 1/256 steps: integer arithmetic keeps this well below GDAL's cost.
        auto tap = [](double at, int size, int& lo, int& weight) {
            const double u = std::min(std::max(at - 0.5, 0.0), double(size - 1));
            lo = std::max(0, std::min(int(u), size - 2));
            weight = size > 1 ? int(std::lround((u - lo) * 256.0)) : 0;
        };
        std::vector<int> column(bw), columnWeight(bw);
        for (int i = 0; i < bw; ++i)
            tap(cx0 - x0 + (i + 0.5) * stepX, xs, column[i], columnWeight[i]);
        const int next = xs > 1 ? 3 : 0;
        for (int j = 0; j < bh; ++j)
        {
            int row, wy;
            tap(cy0 - y0 + (j + 0.5) * stepY, ys, row, wy);
            const unsigned char* upper = &native[std::size_t(row) * xs * 3];
            const unsigned char* lower = ys > 1 ? upper + std::size_t(xs) * 3 : upper;
            // Straight into the texture, whose rows run from the south.
            unsigned char* out = image.data(c0, rows - 1 - (r0 + j));
            for (int i = 0; i < bw; ++i, out += 3)
            {
                const unsigned char* u = upper + column[i] * 3;
                const unsigned char* l = lower + column[i] * 3;
                const int wx = columnWeight[i];
                for (int k = 0; k < 3; ++k)
                {
                    const int top = u[k] * (256 - wx) + u[k + next] * wx;
                    const int bottom = l[k] * (256 - wx) + l[k + next] * wx;
                    out[k] = (unsigned char)((top * (256 - wy) + bottom * wy + 32768) >> 16);
                }
            }
        }
        return true;
    }
    // Coarser texels average the pixels under them (GDAL uses overviews where there are).
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.eResampleAlg = palette ? GRIORA_NearestNeighbour : GRIORA_Average;
    extra.bFloatingPointWindowValidity = TRUE;
    extra.dfXOff = cx0;
    extra.dfYOff = cy0;
    extra.dfXSize = cx1 - cx0;
    extra.dfYSize = cy1 - cy0;
    return readPixels(dataset, bands, x0, y0, xs, ys, bw, bh, &extra, image.data(c0, rows - 1 - r0), down);
}

bool GdalRasterSource::readWarped(GDALDataset& source, const osg::BoundingBoxd& area, osg::Image& image) const
{
    const int columns = image.s(), rows = image.t();
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    if (!memory)
        return false;
    GDALDatasetUniquePtr target(memory->Create("", columns, rows, 3, GDT_Byte, nullptr));
    if (!target)
        return false;
    double transform[6] = {area.xMin(), (area.xMax() - area.xMin()) / columns, 0.0,
                           area.yMax(), 0.0, -(area.yMax() - area.yMin()) / rows};
    target->SetGeoTransform(transform);
    std::unique_ptr<OGRSpatialReference> srs = spatialReference(warped ? lidarWkt : rasterWkt);
    if (srs)
        target->SetSpatialRef(srs.get());
    for (int b = 1; b <= 3; ++b)
        target->GetRasterBand(b)->Fill(uncovered);

    const std::vector<int> bandsUsed = colourBands(bands);
    GDALRasterBand* first = source.GetRasterBand(1);
    const bool palette = bands < 3 && first->GetColorTable();
    GDALWarpOptions* options = GDALCreateWarpOptions();
    options->hSrcDS = GDALDataset::ToHandle(&source);
    options->hDstDS = GDALDataset::ToHandle(target.get());
    options->nBandCount = palette ? 1 : 3;
    options->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * 3));
    options->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * 3));
    for (int b = 0; b < 3; ++b)
    {
        options->panSrcBands[b] = bandsUsed[b];
        options->panDstBands[b] = b + 1;
    }
    options->eResampleAlg = palette ? GRA_NearestNeighbour : GRA_Bilinear;
    options->pTransformerArg = GDALCreateGenImgProjTransformer2(options->hSrcDS, options->hDstDS, nullptr);
    options->pfnTransformer = GDALGenImgProjTransform;
    bool done = false;
    if (options->pTransformerArg)
    {
        GDALWarpOperation operation;
        done = operation.Initialize(options) == CE_None &&
               operation.ChunkAndWarpImage(0, 0, columns, rows) == CE_None;
        GDALDestroyGenImgProjTransformer(options->pTransformerArg);
    }
    GDALDestroyWarpOptions(options);
    if (!done)
        return false;

    // Straight into the texture, from its top row down.
    const GSpacing down = -GSpacing(image.getRowStepInBytes());
    unsigned char* top = image.data(0, rows - 1);
    int bandMap[3] = {1, 2, 3};
    if (target->RasterIO(GF_Read, 0, 0, columns, rows, top, columns, rows, GDT_Byte, 3, bandMap, 3, down, 1,
                         nullptr) != CE_None)
        return false;
    if (palette)
        for (int r = 0; r < rows; ++r)
            expandSingleBand(*first, top + r * down, std::size_t(columns));
    return true;
}

} // namespace osgTAVRI
