#include "tin/imagery/gdal/LasCoordinateSystem.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace osgTAVRI
{

namespace
{
const unsigned wktRecord = 2112;
const unsigned geoKeyRecord = 34735;
const unsigned projectedKey = 3072;
const unsigned geographicKey = 2048;
const unsigned userDefined = 32767;

struct Record
{
    unsigned id = 0;
    std::vector<unsigned char> data;
};

// The LASF_Projection records of the file: the VLRs after the header and the extended ones
// after the points.
std::vector<Record> projectionRecords(std::istream& in, const LasHeader& header)
{
    using namespace LasBytes;
    std::vector<Record> records;
    auto readRecords = [&](std::uint64_t at, std::uint32_t count, bool extended) {
        const unsigned headerBytes = extended ? 60 : 54;
        for (std::uint32_t i = 0; i < count && at + headerBytes <= header.getFileSize(); ++i)
        {
            unsigned char raw[60];
            in.clear();
            in.seekg(std::streamoff(at));
            if (!in.read(reinterpret_cast<char*>(raw), headerBytes))
                return;
            const std::uint64_t length = extended ? u64(raw + 20) : u16(raw + 20);
            const bool projection = std::strncmp(reinterpret_cast<const char*>(raw + 2), "LASF_Projection", 16) == 0;
            const std::uint64_t start = at + headerBytes;
            at = start + length;
            if (!projection || at > header.getFileSize() || length > (1u << 20))
                continue;
            Record record;
            record.id = u16(raw + 18);
            record.data.resize(std::size_t(length));
            in.seekg(std::streamoff(start));
            if (in.read(reinterpret_cast<char*>(record.data.data()), std::streamsize(length)))
                records.push_back(std::move(record));
        }
    };
    readRecords(header.getHeaderSize(), header.getVlrCount(), false);
    if (header.getEvlrStart() > 0)
        readRecords(header.getEvlrStart(), header.getEvlrCount(), true);
    return records;
}

std::string toWkt(OGRSpatialReference& srs)
{
    char* wkt = nullptr;
    std::string text;
    if (srs.exportToWkt(&wkt) == OGRERR_NONE && wkt)
        text = wkt;
    CPLFree(wkt);
    return text;
}

// The EPSG code of the projected (or else geographic) system among the GeoTIFF keys.
int epsgFromGeoKeys(const std::vector<unsigned char>& keys)
{
    using namespace LasBytes;
    if (keys.size() < 8)
        return 0;
    const unsigned count = u16(keys.data() + 6);
    int projected = 0, geographic = 0;
    for (unsigned k = 0; k < count && 8 + 8 * (k + 1) <= keys.size(); ++k)
    {
        const unsigned char* entry = keys.data() + 8 + 8 * k;
        // Location 0: the value is stored in the entry itself.
        if (u16(entry + 2) != 0)
            continue;
        const unsigned value = u16(entry + 6);
        if (value == 0 || value >= userDefined)
            continue;
        if (u16(entry) == projectedKey)
            projected = int(value);
        else if (u16(entry) == geographicKey)
            geographic = int(value);
    }
    return projected ? projected : geographic;
}
} // namespace

std::string readLasCoordinateSystem(const std::string& path)
{
    std::ifstream in(path.c_str(), std::ios::in | std::ios::binary);
    if (!in)
        return "";
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return "";
    try
    {
        const LasHeader header = LasHeader::read(in, std::uint64_t(size), path);
        std::vector<Record> records = projectionRecords(in, header);
        for (const Record& record : records)
            if (record.id == wktRecord && !record.data.empty())
            {
                const std::string wkt(reinterpret_cast<const char*>(record.data.data()),
                                      strnlen(reinterpret_cast<const char*>(record.data.data()), record.data.size()));
                OGRSpatialReference srs;
                if (srs.importFromWkt(wkt.c_str()) == OGRERR_NONE)
                    return toWkt(srs);
            }
        for (const Record& record : records)
            if (record.id == geoKeyRecord)
                if (const int epsg = epsgFromGeoKeys(record.data))
                {
                    OGRSpatialReference srs;
                    if (srs.importFromEPSG(epsg) == OGRERR_NONE)
                        return toWkt(srs);
                }
    }
    catch (const LasError&)
    {
        // A damaged file is reported where its points are read.
    }
    return "";
}

} // namespace osgTAVRI
