#include "tin/las/LasWriter.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasHeader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <vector>

namespace osgTAVRI
{

namespace
{
using LasBytes::put16;
using LasBytes::put32;
using LasBytes::put64;

void putDouble(unsigned char* p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put64(p, bits);
}
} // namespace

LasWriter::LasWriter(std::ostream& stream, const Settings& s) : out(stream), settings(s)
{
    for (int i = 0; i < 3; ++i)
    {
        minimum[i] = std::numeric_limits<double>::max();
        maximum[i] = -std::numeric_limits<double>::max();
    }
    const std::vector<char> blank(getHeaderSize(), 0);
    out.write(blank.data(), std::streamsize(blank.size()));
    if (!settings.wkt.empty())
    {
        // LASF_Projection, record 2112: the coordinate system as a null-terminated WKT string.
        std::vector<unsigned char> vlr(vlrBytes(), 0);
        std::memcpy(vlr.data() + 2, "LASF_Projection", 15);
        put16(vlr.data() + 18, 2112);
        put16(vlr.data() + 20, std::uint32_t(settings.wkt.size() + 1));
        std::memcpy(vlr.data() + 22, "OGC coordinate system WKT", 25);
        std::memcpy(vlr.data() + 54, settings.wkt.data(), settings.wkt.size());
        out.write(reinterpret_cast<const char*>(vlr.data()), std::streamsize(vlr.size()));
    }
    const std::vector<char> gap(settings.gapBytes, 0);
    out.write(gap.data(), std::streamsize(gap.size()));
}

unsigned LasWriter::vlrBytes() const
{
    return settings.wkt.empty() ? 0 : unsigned(54 + settings.wkt.size() + 1);
}

void LasWriter::setColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue)
{
    colour[0] = red;
    colour[1] = green;
    colour[2] = blue;
}

unsigned LasWriter::getHeaderSize() const
{
    return settings.versionMinor >= 4   ? LasHeader::size14
           : settings.versionMinor == 3 ? LasHeader::size13
                                        : LasHeader::size12;
}

unsigned LasWriter::getRecordLength() const
{
    return LasHeader::standardRecordLength(settings.pointFormat) + settings.extraBytes;
}

void LasWriter::addPoint(double x, double y, double z, unsigned ret, unsigned returns,
                         unsigned classification)
{
    std::vector<unsigned char> r(getRecordLength(), 0);
    const double v[3] = {x, y, z};
    for (int i = 0; i < 3; ++i)
    {
        const long long raw = std::llround((v[i] - settings.offset[i]) / settings.scale[i]);
        put32(r.data() + 4 * i, std::uint32_t(std::int32_t(raw)));
        const double stored = double(raw) * settings.scale[i] + settings.offset[i];
        minimum[i] = std::min(minimum[i], stored);
        maximum[i] = std::max(maximum[i], stored);
    }
    if (settings.pointFormat >= 6)
    {
        r[14] = std::uint8_t((ret & 0x0F) | ((returns & 0x0F) << 4));
        r[16] = std::uint8_t(classification);
    }
    else
    {
        r[14] = std::uint8_t((ret & 0x07) | ((returns & 0x07) << 3));
        r[15] = std::uint8_t(classification & 0x1F);
    }
    if (const unsigned at = LasHeader::colourOffset(settings.pointFormat))
        for (int i = 0; i < 3; ++i)
            put16(r.data() + at + 2 * i, colour[i]);
    out.write(reinterpret_cast<const char*>(r.data()), std::streamsize(r.size()));
    ++count;
}

void LasWriter::finish()
{
    const unsigned size = getHeaderSize();
    std::vector<unsigned char> h(size, 0);
    std::memcpy(h.data(), "LASF", 4);
    h[24] = 1;
    h[25] = std::uint8_t(settings.versionMinor);
    std::memcpy(h.data() + 26, "TAVRIview", 9);
    std::memcpy(h.data() + 58, "tin LasWriter", 13);
    put16(h.data() + 94, size);
    put32(h.data() + 96, size + vlrBytes() + settings.gapBytes);
    put32(h.data() + 100, settings.wkt.empty() ? 0 : 1);
    // LAS 1.4 says so in the global encoding when the coordinate system is WKT.
    if (!settings.wkt.empty() && settings.versionMinor >= 4)
        put16(h.data() + 6, 0x10);
    h[104] = std::uint8_t(settings.pointFormat);
    put16(h.data() + 105, getRecordLength());
    // Formats 6 to 10 keep the legacy count at 0; the 64-bit count holds it.
    const bool legacy = (settings.pointFormat < 6 || settings.versionMinor < 4) && count <= 0xFFFFFFFFull;
    put32(h.data() + 107, legacy ? std::uint32_t(count) : 0);
    for (int i = 0; i < 3; ++i)
    {
        const bool empty = count == 0;
        putDouble(h.data() + 131 + 8 * i, settings.scale[i]);
        putDouble(h.data() + 155 + 8 * i, settings.offset[i]);
        putDouble(h.data() + 179 + 16 * i, empty ? 0.0 : maximum[i]);
        putDouble(h.data() + 187 + 16 * i, empty ? 0.0 : minimum[i]);
    }
    if (settings.versionMinor >= 4)
        put64(h.data() + 247, count);
    out.seekp(0);
    out.write(reinterpret_cast<const char*>(h.data()), std::streamsize(h.size()));
    out.seekp(0, std::ios::end);
    out.flush();
}

} // namespace osgTAVRI
