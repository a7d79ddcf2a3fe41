#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace osgTAVRI
{

class LazItems;

// Decodes the chunks of one compressed file into uncompressed point records. Chunks are
// independent: one decoder decodes any of them, in any order, and each thread has its own.
// A chunk may be decoded a slice at a time, so that memory need not hold all its records.
class LazChunkDecoder
{
public:
    virtual ~LazChunkDecoder() = default;

    // Starts the chunk of `count` records whose bytes start at `data`; `size` bytes are
    // available, the chunk itself or more, and stay so until the chunk is decoded.
    virtual void begin(const unsigned char* data, std::size_t size, std::size_t count) = 0;

    // Decodes up to `records` of the chunk's next records into `out`; fewer only at the
    // chunk's end or at damage, after which it decodes nothing more.
    virtual std::size_t decode(unsigned char* out, std::size_t records) = 0;

    // Empty while the chunk decodes cleanly, else what is wrong with it.
    const std::string& getProblem() const { return problem; }

    // Bytes of the chunk taken so far. Once all records are decoded, the chunk's size.
    virtual std::size_t getConsumed() const = 0;

    // The point-wise or the layered decoder, as the items say.
    static std::unique_ptr<LazChunkDecoder> create(const LazItems& items);

protected:
    std::string problem;
};

} // namespace osgTAVRI
