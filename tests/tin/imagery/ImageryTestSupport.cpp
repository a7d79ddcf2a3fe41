#include "tests/tin/imagery/ImageryTestSupport.h"

#include "tin/imagery/TileTexture.h"
#include "tin/las/LasWriter.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/Texture2D>
#include <osgDB/ReadFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>

namespace imagerytest
{

namespace
{
const double cell = 25.0;
}

Rgb cellColour(double x, double y)
{
    const long cx = long(std::floor(x / cell)), cy = long(std::floor(y / cell));
    const auto mod = [](long v, long m) { return ((v % m) + m) % m; };
    return Rgb((unsigned char)(30 + 45 * mod(cx, 5)), (unsigned char)(30 + 45 * mod(cy, 5)),
               (unsigned char)(60 + 120 * mod(cx + cy, 2)), 255);
}

double distanceToCellEdge(double x, double y)
{
    const double fx = x - cell * std::floor(x / cell), fy = y - cell * std::floor(y / cell);
    return std::min(std::min(fx, cell - fx), std::min(fy, cell - fy));
}

std::string wktOf(int epsg)
{
    OGRSpatialReference srs;
    char* wkt = nullptr;
    std::string text;
    if (srs.importFromEPSG(epsg) == OGRERR_NONE && srs.exportToWkt(&wkt) == OGRERR_NONE && wkt)
        text = wkt;
    CPLFree(wkt);
    return text;
}

void writeRaster(const std::string& path, int columns, int rows, const double geoTransform[6], int epsg,
                 const std::function<Rgb(double, double)>& colourAt, bool palette)
{
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    ASSERT_NE(driver, nullptr);
    const int bands = palette ? 1 : 3;
    GDALDatasetUniquePtr image(driver->Create(path.c_str(), columns, rows, bands, GDT_Byte, nullptr));
    ASSERT_TRUE(image) << path;
    image->SetGeoTransform(const_cast<double*>(geoTransform));
    if (epsg)
    {
        OGRSpatialReference srs;
        srs.importFromEPSG(epsg);
        image->SetSpatialRef(&srs);
    }
    GDALColorTable table;
    std::vector<unsigned char> row(std::size_t(columns) * bands);
    for (int j = 0; j < rows; ++j)
    {
        for (int i = 0; i < columns; ++i)
        {
            const double x = geoTransform[0] + (i + 0.5) * geoTransform[1] + (j + 0.5) * geoTransform[2];
            const double y = geoTransform[3] + (i + 0.5) * geoTransform[4] + (j + 0.5) * geoTransform[5];
            const Rgb c = colourAt(x, y);
            if (!palette)
            {
                for (int k = 0; k < 3; ++k)
                    row[std::size_t(i) * 3 + k] = c[k];
                continue;
            }
            int index = 0;
            while (index < table.GetColorEntryCount() && Rgb(table.GetColorEntry(index)->c1, table.GetColorEntry(index)->c2,
                                                            table.GetColorEntry(index)->c3, 255) != c)
                ++index;
            const GDALColorEntry entry = {c[0], c[1], c[2], 255};
            if (index == table.GetColorEntryCount())
                table.SetColorEntry(index, &entry);
            ASSERT_LT(index, 256);
            row[std::size_t(i)] = (unsigned char)index;
        }
        ASSERT_EQ(image->RasterIO(GF_Write, 0, j, columns, 1, row.data(), columns, 1, GDT_Byte, bands, nullptr, bands,
                                  GSpacing(columns) * bands, 1, nullptr),
                  CE_None);
    }
    if (palette)
    {
        ASSERT_EQ(image->GetRasterBand(1)->SetColorTable(&table), CE_None);
    }
}

void writeGround(const std::string& path, double x0, double y0, double x1, double y1, const std::string& wkt)
{
    osgTAVRI::LasWriter::Settings settings;
    settings.offset[0] = x0;
    settings.offset[1] = y0;
    settings.wkt = wkt;
    std::ofstream out(path.c_str(), std::ios::binary);
    osgTAVRI::LasWriter writer(out, settings);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-1.5, 1.5);
    for (double y = y0 + 2.0; y < y1; y += 4.0)
        for (double x = x0 + 2.0; x < x1; x += 4.0)
        {
            const double px = x + jitter(random), py = y + jitter(random);
            writer.addPoint(px, py, 10.0 + 3.0 * std::sin((px - x0) / 40.0) * std::cos((py - y0) / 55.0));
        }
    writer.finish();
}

TileSamples sampleTile(const std::string& ivePath)
{
    osg::ref_ptr<osg::Node> node = osgDB::readRefNodeFile(ivePath);
    if (!node.valid())
    {
        ADD_FAILURE() << "cannot read " << ivePath;
        return TileSamples();
    }
    return sampleTile(*node, ivePath);
}

TileSamples sampleTile(osg::Node& node, const std::string& name)
{
    TileSamples result;
    osg::MatrixTransform* transform = dynamic_cast<osg::MatrixTransform*>(&node);
    osg::Geode* geode = transform && transform->getNumChildren() ? transform->getChild(0)->asGeode() : nullptr;
    osg::Geometry* geometry = geode && geode->getNumDrawables() ? geode->getDrawable(0)->asGeometry() : nullptr;
    EXPECT_NE(geometry, nullptr) << name;
    if (!geometry)
        return result;
    const osg::Vec3d centre = transform->getMatrix().getTrans();
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray());
    const osg::ref_ptr<const osg::Vec2Array> coordinates = osgTAVRI::textureCoordinates(*geometry);
    const osg::Vec4ubArray* colours = dynamic_cast<const osg::Vec4ubArray*>(geometry->getColorArray());
    const osg::StateSet* state = geometry->getStateSet();
    const osg::Texture2D* texture =
        state ? dynamic_cast<const osg::Texture2D*>(state->getTextureAttribute(0, osg::StateAttribute::TEXTURE)) : nullptr;
    const osg::Image* image = texture ? texture->getImage() : nullptr;
    if (image)
    {
        result.textureColumns = image->s();
        result.textureRows = image->t();
        EXPECT_EQ(image->getPixelFormat(), GLenum(GL_RGB));
        EXPECT_EQ(texture->getFilter(osg::Texture::MIN_FILTER), osg::Texture::LINEAR_MIPMAP_LINEAR);
        EXPECT_TRUE(coordinates && coordinates->size() == vertices->size());
    }
    std::set<unsigned> used;
    for (unsigned k = 0; k < geometry->getNumPrimitiveSets(); ++k)
        if (const osg::DrawElementsUInt* list = dynamic_cast<const osg::DrawElementsUInt*>(geometry->getPrimitiveSet(k)))
            used.insert(list->begin(), list->end());
    for (unsigned index : used)
    {
        Sample s;
        s.world = osg::Vec3d((*vertices)[index]) + centre;
        if (image && coordinates)
        {
            const osg::Vec2& tc = (*coordinates)[index];
            const int i = std::min(image->s() - 1, std::max(0, int(std::floor(tc.x() * image->s()))));
            const int j = std::min(image->t() - 1, std::max(0, int(std::floor(tc.y() * image->t()))));
            const unsigned char* p = image->data(i, j);
            s.textured = true;
            s.texel = Rgb(p[0], p[1], p[2], 255);
        }
        if (colours && index < colours->size())
        {
            s.coloured = true;
            s.colour = (*colours)[index];
        }
        result.samples.push_back(s);
    }
    return result;
}

int colourDistance(const Rgb& a, const Rgb& b)
{
    int d = 0;
    for (int k = 0; k < 3; ++k)
        d = std::max(d, std::abs(int(a[k]) - int(b[k])));
    return d;
}

} // namespace imagerytest
