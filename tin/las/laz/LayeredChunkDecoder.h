#pragma once

#include "tin/las/laz/ArithmeticDecoder.h"
#include "tin/las/laz/LazChunkDecoder.h"
#include "tin/las/laz/LazItems.h"

#include <memory>
#include <vector>

namespace osgTAVRI
{

// The layered chunked coder of point formats 6 to 10: a chunk is its first record as is,
// its point count, the byte size of every layer, then the layers. Each layer codes some
// fields of all the chunk's points in a stream of its own; an empty layer means that the
// field never changes in the chunk. Every item keeps four sets of contexts, one for each
// scanner channel, and the point item switches all of them when the channel changes.
class LayeredChunkDecoder : public LazChunkDecoder
{
public:
    explicit LayeredChunkDecoder(const LazItems& items);
    ~LayeredChunkDecoder() override;

    void begin(const unsigned char* data, std::size_t size, std::size_t count) override;
    std::size_t decode(unsigned char* out, std::size_t records) override;
    std::size_t getConsumed() const override { return consumed; }

    // One item's layers: it reads their sizes, then takes their bytes, then decodes.
    class ItemDecoder;
    struct Layer
    {
        const unsigned char* data;
        std::size_t size;
    };

private:
    std::vector<Layer> layers;
    std::vector<std::unique_ptr<ItemDecoder>> decoders;
    std::vector<unsigned> offsets;
    unsigned recordLength;
    std::size_t layerCount = 0;
    const unsigned char* chunk = nullptr;
    std::size_t consumed = 0;
    std::size_t left = 0;
    bool started = false;
    unsigned channel = 0;
};

} // namespace osgTAVRI
