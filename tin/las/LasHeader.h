#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace osgTAVRI
{

// The public header block of a LAS 1.0 to 1.4 file: the fields the reader needs to
// locate, count and scale the point records, and the extent.
class LasHeader
{
public:
    // Bytes of the header that LAS 1.0-1.2, 1.3 and 1.4 define.
    static const unsigned size12 = 227;
    static const unsigned size13 = 235;
    static const unsigned size14 = 375;

    // Reads the header from the start of `in`; `fileSize` is the stream's length.
    // Throws LasError when the header itself cannot be read.
    static LasHeader read(std::istream& in, std::uint64_t fileSize, const std::string& name);

    // Every problem that makes the point data unreadable, not just the first.
    std::vector<std::string> validate() const;

    // Standard record length of a point format, 0 for an unknown format.
    static unsigned standardRecordLength(unsigned format);

    bool isCompressed() const { return (formatByte & 0xC0) != 0; }
    unsigned getPointFormat() const { return formatByte & 0x3F; }
    // Byte offset of red, green and blue in a record; 0 for the formats without colour.
    static unsigned colourOffset(unsigned format);
    // Formats 6 to 10 keep four bits for the return number instead of three.
    bool hasExtendedReturns() const { return getPointFormat() >= 6; }

    unsigned getVersionMajor() const { return versionMajor; }
    unsigned getVersionMinor() const { return versionMinor; }
    unsigned getHeaderSize() const { return headerSize; }
    std::uint32_t getDataOffset() const { return dataOffset; }
    std::uint32_t getVlrCount() const { return vlrCount; }
    unsigned getRecordLength() const { return recordLength; }
    std::uint64_t getPointCount() const { return pointCount; }
    std::uint64_t getFileSize() const { return fileSize; }
    std::uint16_t getGlobalEncoding() const { return globalEncoding; }
    std::uint64_t getEvlrStart() const { return evlrStart; }
    std::uint32_t getEvlrCount() const { return evlrCount; }
    // End of the point block: the file's end, or the first thing stored after the points.
    std::uint64_t getDataEnd() const;

    double getScaleX() const { return scale[0]; }
    double getScaleY() const { return scale[1]; }
    double getScaleZ() const { return scale[2]; }
    double getOffsetX() const { return offset[0]; }
    double getOffsetY() const { return offset[1]; }
    double getOffsetZ() const { return offset[2]; }
    double getMinX() const { return minimum[0]; }
    double getMinY() const { return minimum[1]; }
    double getMinZ() const { return minimum[2]; }
    double getMaxX() const { return maximum[0]; }
    double getMaxY() const { return maximum[1]; }
    double getMaxZ() const { return maximum[2]; }

private:
    std::string name;
    std::uint64_t fileSize = 0;
    unsigned versionMajor = 0;
    unsigned versionMinor = 0;
    std::uint16_t globalEncoding = 0;
    unsigned headerSize = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t vlrCount = 0;
    unsigned formatByte = 0;
    unsigned recordLength = 0;
    std::uint32_t legacyPointCount = 0;
    std::uint64_t pointCount = 0;
    std::uint64_t waveformStart = 0;
    std::uint64_t evlrStart = 0;
    std::uint32_t evlrCount = 0;
    double scale[3] = {0.0, 0.0, 0.0};
    double offset[3] = {0.0, 0.0, 0.0};
    double minimum[3] = {0.0, 0.0, 0.0};
    double maximum[3] = {0.0, 0.0, 0.0};
};

} // namespace osgTAVRI
