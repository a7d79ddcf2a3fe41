#include "tests/support/TestSupport.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/tin/imagery/ImageryTestSupport.h"
#include "tin/imagery/gdal/LasCoordinateSystem.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace imagerytest;
using tavritest::TempDir;

// A raster of 10 GB (60000 x 60000 pixels, three bands, 0.1 m a pixel), written by GDAL as a
// sparse GeoTIFF that stores only the blocks under the scan: tin reads the windows of its tiles
// and stays far below the raster's size in memory.
TEST(RasterSource, LargeSparseRasterIsReadInWindows)
{
    TempDir dir;
    const int side = 60000;
    const double pixel = 0.1, left = 497000.0, top = 6603000.0;
    // The scan lies in the middle of the raster.
    const double groundX = 500000.0, groundY = 6600000.0;
    {
        GDALAllRegister();
        GDALSetCacheMax64(std::int64_t(16) << 20);
        const char* options[] = {"TILED=YES", "SPARSE_OK=TRUE", "BIGTIFF=YES", nullptr};
        GDALDatasetUniquePtr image(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            dir.file("huge.tif").c_str(), side, side, 3, GDT_Byte, const_cast<char**>(options)));
        ASSERT_TRUE(image);
        double transform[6] = {left, pixel, 0.0, top, 0.0, -pixel};
        image->SetGeoTransform(transform);
        OGRSpatialReference srs;
        srs.importFromEPSG(3006);
        image->SetSpatialRef(&srs);
        // The pattern under the scan only, row by row.
        const int i0 = int((groundX - left) / pixel), j0 = int((top - (groundY + 200.0)) / pixel), n = 2000;
        std::vector<unsigned char> row(std::size_t(n) * 3);
        for (int j = 0; j < n; ++j)
        {
            for (int i = 0; i < n; ++i)
            {
                const Rgb c = cellColour(left + (i0 + i + 0.5) * pixel, top - (j0 + j + 0.5) * pixel);
                for (int k = 0; k < 3; ++k)
                    row[std::size_t(i) * 3 + k] = c[k];
            }
            ASSERT_EQ(image->RasterIO(GF_Write, i0, j0 + j, n, 1, row.data(), n, 1, GDT_Byte, 3, nullptr, 3,
                                      GSpacing(n) * 3, 1, nullptr),
                      CE_None);
        }
    }
    struct stat info;
    ASSERT_EQ(::stat(dir.file("huge.tif").c_str(), &info), 0);
    EXPECT_LT(info.st_size, 100LL << 20) << "the raster should be sparse on disk";

    writeGround(dir.file("ground.las"), groundX, groundY, groundX + 200.0, groundY + 200.0, wktOf(3006));
    const tavritest::RunResult r =
        tintest::runTin({"--extents", "500000,6600000,500200,6600200", "--tileSize", "100", "--texture",
                         dir.file("huge.tif"), dir.file("ground.las")},
                        dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // tin is the only child this test waits for; its peak is the children's peak.
    rusage usage;
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    const long peakMB = usage.ru_maxrss / 1024;
    RecordProperty("tinPeakMB", int(peakMB));
    EXPECT_LT(peakMB, 400) << "tin's peak resident memory for a 10 GB raster";

    // The windows held the right pixels: 100 m at 0.1 m is 1000 texels, so 1024.
    std::size_t compared = 0;
    for (const std::string& tile : tintest::tileFiles(dir.path()))
    {
        const TileSamples t = sampleTile(dir.file(tile));
        EXPECT_EQ(t.textureColumns, 1024) << tile;
        for (const Sample& s : t.samples)
            if (s.world.x() > groundX && s.world.x() < groundX + 200.0 && s.world.y() > groundY && s.world.y() < groundY + 200.0 &&
                distanceToCellEdge(s.world.x(), s.world.y()) > 0.5)
            {
                EXPECT_LE(colourDistance(s.texel, cellColour(s.world.x(), s.world.y())), 8);
                ++compared;
            }
    }
    EXPECT_GT(compared, 1500u);
}

// A scan's coordinate system comes from its WKT record or its GeoTIFF keys; one it does not
// declare is unknown, not an error.
TEST(RasterSource, CoordinateSystemsOfRealScans)
{
    TAVRI_REQUIRE_SHARED_DATA();
    const std::string las = tavritest::sharedData() + "/las/";
    auto same = [](const std::string& wkt, int epsg) {
        OGRSpatialReference a, b;
        return !wkt.empty() && a.importFromWkt(wkt.c_str()) == OGRERR_NONE && b.importFromEPSG(epsg) == OGRERR_NONE &&
               a.IsSame(&b);
    };
    // GeoTIFF keys: WGS 84 / UTM zone 17N.
    EXPECT_TRUE(same(osgTAVRI::readLasCoordinateSystem(las + "srs.las"), 32617));
    // A WKT record (LAS 1.4).
    const std::string wkt = osgTAVRI::readLasCoordinateSystem(las + "test1_4.las");
    EXPECT_NE(wkt.find("PROJCS"), std::string::npos) << wkt;
    // Zero-length GeoTIFF records and none at all.
    EXPECT_EQ(osgTAVRI::readLasCoordinateSystem(las + "1.2-empty-geotiff-vlrs.las"), "");
    EXPECT_EQ(osgTAVRI::readLasCoordinateSystem(las + "simple1_3.las"), "");
    EXPECT_EQ(osgTAVRI::readLasCoordinateSystem(las + "does-not-exist.las"), "");
}
