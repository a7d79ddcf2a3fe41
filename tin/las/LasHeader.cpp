#include "tin/las/LasHeader.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"

#include <cmath>
#include <istream>
#include <sstream>

namespace osgTAVRI
{

namespace
{
// A variable length record is at least its 54-byte header.
const std::uint64_t minVlrSize = 54;
}

unsigned LasHeader::standardRecordLength(unsigned format)
{
    static const unsigned lengths[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    return format < sizeof lengths / sizeof lengths[0] ? lengths[format] : 0;
}

unsigned LasHeader::colourOffset(unsigned format)
{
    switch (format)
    {
    case 2: return 20;
    case 3:
    case 5: return 28;
    case 7:
    case 8:
    case 10: return 30;
    default: return 0;
    }
}

LasHeader LasHeader::read(std::istream& in, std::uint64_t size, const std::string& fileName)
{
    unsigned char raw[size14] = {};
    const std::uint64_t wanted = size < size14 ? size : size14;
    in.clear();
    in.seekg(0);
    in.read(reinterpret_cast<char*>(raw), std::streamsize(wanted));
    if (std::uint64_t(in.gcount()) != wanted)
        throw LasError("LasReader: " + fileName + ": header could not be read");
    if (wanted < 4 || std::memcmp(raw, "LASF", 4) != 0)
        throw LasError("LasReader: " + fileName + ": not a LAS file (no LASF signature)");
    if (wanted < size12)
        throw LasError("LasReader: " + fileName + ": header truncated (" +
                       std::to_string(wanted) + " bytes)");

    using namespace LasBytes;
    LasHeader h;
    h.name = fileName;
    h.fileSize = size;
    h.globalEncoding = u16(raw + 6);
    h.versionMajor = raw[24];
    h.versionMinor = raw[25];
    h.headerSize = u16(raw + 94);
    h.dataOffset = u32(raw + 96);
    h.vlrCount = u32(raw + 100);
    h.formatByte = raw[104];
    h.recordLength = u16(raw + 105);
    h.legacyPointCount = u32(raw + 107);
    h.pointCount = h.legacyPointCount;
    for (int i = 0; i < 3; ++i)
    {
        h.scale[i] = f64(raw + 131 + 8 * i);
        h.offset[i] = f64(raw + 155 + 8 * i);
        h.maximum[i] = f64(raw + 179 + 16 * i);
        h.minimum[i] = f64(raw + 187 + 16 * i);
    }
    // Later fields count only when both the version and the stored header carry them.
    if (h.versionMinor >= 3 && h.headerSize >= size13 && wanted >= size13)
        h.waveformStart = u64(raw + 227);
    if (h.versionMinor >= 4 && h.headerSize >= size14 && wanted >= size14)
    {
        h.evlrStart = u64(raw + 235);
        h.evlrCount = u32(raw + 243);
        const std::uint64_t count64 = u64(raw + 247);
        if (count64 != 0 || h.legacyPointCount == 0)
            h.pointCount = count64;
    }
    return h;
}

std::uint64_t LasHeader::getDataEnd() const
{
    std::uint64_t end = fileSize;
    // Internal waveform data (global encoding bit 1) and extended VLRs follow the points.
    if ((globalEncoding & 0x2) && waveformStart > dataOffset && waveformStart < end)
        end = waveformStart;
    if (evlrStart > dataOffset && evlrStart < end)
        end = evlrStart;
    return end;
}

std::vector<std::string> LasHeader::validate() const
{
    std::vector<std::string> problems;
    auto add = [&](const std::string& text) { problems.push_back(text); };

    if (versionMajor != 1 || versionMinor > 4)
        add("unsupported LAS version " + std::to_string(versionMajor) + "." +
            std::to_string(versionMinor));
    const unsigned required = versionMinor >= 4 ? size14 : versionMinor == 3 ? size13 : size12;
    if (headerSize < required)
        add("header size " + std::to_string(headerSize) + " is smaller than the " +
            std::to_string(required) + " bytes of its version");
    if (headerSize > fileSize)
        add("header size " + std::to_string(headerSize) + " exceeds the file size " +
            std::to_string(fileSize));
    if (dataOffset < headerSize)
        add("offset to point data " + std::to_string(dataOffset) + " lies inside the header");
    if (dataOffset > fileSize)
        add("offset to point data " + std::to_string(dataOffset) +
            " lies beyond the end of the file (" + std::to_string(fileSize) + " bytes)");
    else if (dataOffset >= headerSize &&
             std::uint64_t(vlrCount) * minVlrSize > std::uint64_t(dataOffset - headerSize))
        add(std::to_string(vlrCount) + " variable length records cannot fit before the point data");

    const unsigned format = getPointFormat();
    const unsigned standard = standardRecordLength(format);
    if (standard == 0)
        add("unknown point format " + std::to_string(format));
    else if (recordLength < standard)
        add("record length " + std::to_string(recordLength) + " is shorter than the " +
            std::to_string(standard) + " bytes of point format " + std::to_string(format));

    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(scale[i]) || scale[i] == 0.0 || !std::isfinite(offset[i]))
        {
            add("invalid scale or offset");
            break;
        }

    // Compressed records have no fixed size; their decoder checks the count.
    if (recordLength > 0 && dataOffset <= fileSize && !isCompressed())
    {
        const std::uint64_t end = getDataEnd();
        const std::uint64_t present = end > dataOffset ? (end - dataOffset) / recordLength : 0;
        if (pointCount > present)
            add("header claims " + std::to_string(pointCount) + " points but only " +
                std::to_string(present) + " complete records are present");
    }
    return problems;
}

} // namespace osgTAVRI
