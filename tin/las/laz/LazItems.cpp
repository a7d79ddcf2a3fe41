#include "tin/las/laz/LazItems.h"

#include "tin/las/LasBytes.h"
#include "tin/las/LasError.h"
#include "tin/las/LasHeader.h"

namespace osgTAVRI
{

namespace
{
const char* itemName(unsigned type)
{
    switch (type)
    {
    case LazItems::Byte: return "extra bytes";
    case LazItems::Point10: return "point";
    case LazItems::GpsTime11: return "GPS time";
    case LazItems::Rgb12: return "RGB";
    case LazItems::WavePacket13: return "wave packet";
    case LazItems::Point14: return "point (1.4)";
    case LazItems::Rgb14: return "RGB (1.4)";
    case LazItems::RgbNir14: return "RGB and NIR (1.4)";
    case LazItems::WavePacket14: return "wave packet (1.4)";
    case LazItems::Byte14: return "extra bytes (1.4)";
    default: return nullptr;
    }
}

std::string describe(const LazItems::Item& item)
{
    const char* known = itemName(item.type);
    return (known ? std::string(known) : "item type " + std::to_string(item.type)) + " version " +
           std::to_string(item.version);
}

// The items, after the base record, that each point format carries, in their order.
std::vector<unsigned> expectedItems(unsigned format)
{
    using I = LazItems;
    switch (format)
    {
    case 0: return {I::Point10};
    case 1: return {I::Point10, I::GpsTime11};
    case 2: return {I::Point10, I::Rgb12};
    case 3: return {I::Point10, I::GpsTime11, I::Rgb12};
    case 4: return {I::Point10, I::GpsTime11, I::WavePacket13};
    case 5: return {I::Point10, I::GpsTime11, I::Rgb12, I::WavePacket13};
    case 6: return {I::Point14};
    case 7: return {I::Point14, I::Rgb14};
    case 8: return {I::Point14, I::RgbNir14};
    case 9: return {I::Point14, I::WavePacket14};
    case 10: return {I::Point14, I::RgbNir14, I::WavePacket14};
    default: return {};
    }
}

unsigned fixedSize(unsigned type)
{
    switch (type)
    {
    case LazItems::Point10: return 20;
    case LazItems::GpsTime11: return 8;
    case LazItems::Rgb12: return 6;
    case LazItems::WavePacket13: return 29;
    case LazItems::Point14: return 30;
    case LazItems::Rgb14: return 6;
    case LazItems::RgbNir14: return 8;
    case LazItems::WavePacket14: return 29;
    default: return 0;
    }
}
} // namespace

bool LazItems::hasWavePackets() const
{
    for (const Item& item : items)
        if (item.type == WavePacket13 || item.type == WavePacket14)
            return true;
    return false;
}

LazItems LazItems::parse(const unsigned char* data, std::size_t size, const LasHeader& header,
                         const std::string& name)
{
    using namespace LasBytes;
    const std::string context = "LasReader: " + name + ": ";
    if (size < 34)
        throw LasError(context + "compression record truncated (" + std::to_string(size) + " bytes)");
    const unsigned compressor = u16(data);
    const unsigned coder = u16(data + 2);
    LazItems result;
    result.chunkSize = u32(data + 12);
    const unsigned count = u16(data + 32);
    if (34 + 6 * std::size_t(count) > size)
        throw LasError(context + "compression record lists " + std::to_string(count) +
                       " items but holds only " + std::to_string(size) + " bytes");
    for (unsigned i = 0; i < count; ++i)
    {
        const unsigned char* p = data + 34 + 6 * i;
        result.items.push_back(Item{u16(p), u16(p + 2), u16(p + 4)});
        result.recordLength += u16(p + 2);
    }

    std::string holds;
    for (const Item& item : result.items)
        holds += (holds.empty() ? "" : ", ") + describe(item);
    const char* kinds[] = {"uncompressed", "point-wise", "point-wise, chunked", "layered, chunked"};
    const std::string what = "holds compressor " + std::to_string(compressor) +
                             (compressor < 4 ? std::string(" (") + kinds[compressor] + ")" : std::string()) +
                             " with " + (holds.empty() ? std::string("no items") : "items " + holds);
    if (coder != 0)
        throw LasError(context + what + "; its coder " + std::to_string(coder) + " is not decoded");
    if (compressor != 2 && compressor != 3)
        throw LasError(context + what + "; only the chunked compressors 2 and 3 are decoded");
    result.layered = compressor == 3;

    // Every item must be one we decode, in the version its compressor writes.
    const unsigned wanted = result.layered ? 3 : 2;
    for (const Item& item : result.items)
    {
        const bool extra = item.type == (result.layered ? Byte14 : Byte);
        const bool wave = item.type == WavePacket13;
        const unsigned version = wave ? 1 : wanted;
        const bool known = extra || (fixedSize(item.type) != 0 && (item.type >= Point14) == result.layered);
        if (!known || item.version != version || item.type == WavePacket14)
            throw LasError(context + what + "; " + describe(item) + " is not decoded");
        if (!extra && item.size != fixedSize(item.type))
            throw LasError(context + "compression record gives " + describe(item) + " " +
                           std::to_string(item.size) + " bytes instead of " +
                           std::to_string(fixedSize(item.type)));
        if (extra && item.size == 0)
            throw LasError(context + "compression record lists extra bytes of size 0");
    }

    const std::vector<unsigned> expected = expectedItems(header.getPointFormat());
    std::size_t at = 0;
    for (; at < result.items.size() && at < expected.size(); ++at)
        if (result.items[at].type != expected[at])
            break;
    const bool extraLast = at + 1 == result.items.size() &&
                           result.items[at].type == (result.layered ? Byte14 : Byte);
    if (at != expected.size() || (at != result.items.size() && !extraLast))
        throw LasError(context + what + ", which do not make up point format " +
                       std::to_string(header.getPointFormat()));
    if (result.recordLength != header.getRecordLength())
        throw LasError(context + "compressed items make records of " + std::to_string(result.recordLength) +
                       " bytes, the header says " + std::to_string(header.getRecordLength()));
    if (result.chunkSize == 0)
        throw LasError(context + "compression record gives chunks of 0 points");
    return result;
}

} // namespace osgTAVRI
