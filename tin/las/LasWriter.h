#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace osgTAVRI
{

// Writes an uncompressed LAS file of any version 1.0-1.4 and point format 0-10, for
// generated terrain and for tests. Records are written as points arrive; finish()
// goes back and writes the header with the count and the extent.
class LasWriter
{
public:
    struct Settings
    {
        unsigned versionMinor = 2;
        unsigned pointFormat = 1;
        unsigned extraBytes = 0;  // per record, after the standard fields
        unsigned gapBytes = 0;    // between the header and the points
        double scale[3] = {0.01, 0.01, 0.01};
        double offset[3] = {0.0, 0.0, 0.0};
        // Coordinate system as OGC WKT, stored in a LASF_Projection record; "" for none.
        std::string wkt;
    };

    LasWriter(std::ostream& stream, const Settings& settings);

    void addPoint(double x, double y, double z, unsigned returnNumber = 1,
                  unsigned numberOfReturns = 1, unsigned classification = 2);
    // Red, green and blue of the points added from now on (formats that carry colour).
    void setColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue);
    // Writes the header; the stream then holds a complete file.
    void finish();

    std::uint64_t getPointCount() const { return count; }
    unsigned getHeaderSize() const;
    unsigned getRecordLength() const;

private:
    std::ostream& out;
    Settings settings;
    unsigned vlrBytes() const;

    std::uint64_t count = 0;
    std::uint16_t colour[3] = {0, 0, 0};
    double minimum[3];
    double maximum[3];
};

} // namespace osgTAVRI
