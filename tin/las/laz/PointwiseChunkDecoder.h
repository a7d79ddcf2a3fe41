#pragma once

#include "tin/las/laz/ArithmeticDecoder.h"
#include "tin/las/laz/LazChunkDecoder.h"
#include "tin/las/laz/LazItems.h"

#include <memory>
#include <vector>

namespace osgTAVRI
{

// The point-wise chunked coder of point formats 0 to 5: a chunk is its first record as is,
// then one arithmetic-coded stream in which every item of every further record follows
// the items before it, each predicted from the same item of the record before.
class PointwiseChunkDecoder : public LazChunkDecoder
{
public:
    explicit PointwiseChunkDecoder(const LazItems& items);
    ~PointwiseChunkDecoder() override;

    void begin(const unsigned char* data, std::size_t size, std::size_t count) override;
    std::size_t decode(unsigned char* out, std::size_t records) override;
    std::size_t getConsumed() const override;

    class ItemDecoder;

private:
    ArithmeticDecoder dec;
    std::vector<std::unique_ptr<ItemDecoder>> decoders;
    std::vector<unsigned> offsets;
    unsigned recordLength;
    const unsigned char* chunk = nullptr;
    std::size_t chunkSize = 0;
    std::size_t left = 0;
    bool started = false;
};

} // namespace osgTAVRI
