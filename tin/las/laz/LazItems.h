#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace osgTAVRI
{

class LasHeader;

// What the compressor's VLR ("laszip encoded", record 22204) says about the point data:
// which compressor, how many points per chunk, and the items each record is made of.
class LazItems
{
public:
    enum Type
    {
        Byte = 0,
        Point10 = 6,
        GpsTime11 = 7,
        Rgb12 = 8,
        WavePacket13 = 9,
        Point14 = 10,
        Rgb14 = 11,
        RgbNir14 = 12,
        WavePacket14 = 13,
        Byte14 = 14
    };

    struct Item
    {
        unsigned type;
        unsigned size;
        unsigned version;
    };

    static const std::uint16_t recordId = 22204;
    static const std::uint32_t variableChunkSize = 0xFFFFFFFFu;

    // Parses the VLR's payload and checks it against the header: a compressor and items
    // that this decoder reads, making up the header's record length and point format.
    // Throws LasError naming the file and what it holds otherwise.
    static LazItems parse(const unsigned char* data, std::size_t size, const LasHeader& header,
                          const std::string& name);

    bool isLayered() const { return layered; }
    bool hasVariableChunks() const { return chunkSize == variableChunkSize; }
    std::uint32_t getChunkSize() const { return chunkSize; }
    const std::vector<Item>& getItems() const { return items; }
    unsigned getRecordLength() const { return recordLength; }
    bool hasWavePackets() const;

private:
    bool layered = false;
    std::uint32_t chunkSize = 0;
    unsigned recordLength = 0;
    std::vector<Item> items;
};

} // namespace osgTAVRI
