#include "tin/las/laz/PointwiseChunkDecoder.h"

#include "tin/las/LasBytes.h"
#include "tin/las/laz/GpsTimeDecoder.h"
#include "tin/las/laz/IntegerDecoder.h"
#include "tin/las/laz/LazItemCoding.h"
#include "tin/las/laz/StreamingMedian.h"

#include <cstring>

namespace osgTAVRI
{

using namespace LasBytes;

class PointwiseChunkDecoder::ItemDecoder
{
public:
    virtual ~ItemDecoder() = default;
    virtual void init(const unsigned char* record) = 0;
    virtual void decode(ArithmeticDecoder& dec, unsigned char* record) = 0;
};

namespace
{

// The 20-byte base record. Which fields changed comes first, as six flags; coordinates are
// predicted by the median of the last five differences among points of the same return
// position, heights by the last height of the same return level.
class Point10Decoder : public PointwiseChunkDecoder::ItemDecoder
{
public:
    Point10Decoder()
        : changed(64), scanAngle{ArithmeticModel(256), ArithmeticModel(256)}, bitByte(256, 256),
          classification(256, 256), userData(256, 256), intensity(16, 4), pointSource(16), dx(32, 2),
          dy(32, 22), dz(32, 20)
    {
    }

    void init(const unsigned char* r) override
    {
        for (int i = 0; i < 16; ++i)
        {
            medianX[i].init();
            medianY[i].init();
            lastIntensity[i] = 0;
            lastHeight[i / 2] = 0;
        }
        changed.init();
        scanAngle[0].init();
        scanAngle[1].init();
        bitByte.init();
        classification.init();
        userData.init();
        intensity.init();
        pointSource.init();
        dx.init();
        dy.init();
        dz.init();
        x = i32(r);
        y = i32(r + 4);
        z = i32(r + 8);
        // The coder starts from an intensity of 0, not the first record's.
        lastItemIntensity = 0;
        bits = r[14];
        cls = r[15];
        angle = r[16];
        user = r[17];
        source = u16(r + 18);
    }

    void decode(ArithmeticDecoder& dec, unsigned char* out) override
    {
        const unsigned flags = dec.decodeSymbol(changed);
        unsigned r, n, m, l;
        if (flags)
        {
            if (flags & 32)
                bits = std::uint8_t(dec.decodeSymbol(bitByte.get(bits)));
            r = bits & 7;
            n = (bits >> 3) & 7;
            m = LazItemCoding::returnMap8[n][r];
            l = LazItemCoding::returnLevel8[n][r];
            if (flags & 16)
            {
                lastItemIntensity = std::uint16_t(intensity.decompress(dec, lastIntensity[m], m < 3 ? m : 3));
                lastIntensity[m] = lastItemIntensity;
            }
            else
                lastItemIntensity = lastIntensity[m];
            if (flags & 8)
                cls = std::uint8_t(dec.decodeSymbol(classification.get(cls)));
            if (flags & 4)
                angle = std::uint8_t(dec.decodeSymbol(scanAngle[(bits >> 6) & 1]) + angle);
            if (flags & 2)
                user = std::uint8_t(dec.decodeSymbol(userData.get(user)));
            if (flags & 1)
                source = std::uint16_t(pointSource.decompress(dec, source));
        }
        else
        {
            r = bits & 7;
            n = (bits >> 3) & 7;
            m = LazItemCoding::returnMap8[n][r];
            l = LazItemCoding::returnLevel8[n][r];
        }

        std::int32_t diff = dx.decompress(dec, medianX[m].get(), n == 1);
        x = std::int32_t(std::uint32_t(x) + std::uint32_t(diff));
        medianX[m].add(diff);

        unsigned k = dx.getK();
        diff = dy.decompress(dec, medianY[m].get(), (n == 1) + (k < 20 ? k & ~1u : 20));
        y = std::int32_t(std::uint32_t(y) + std::uint32_t(diff));
        medianY[m].add(diff);

        k = (dx.getK() + dy.getK()) / 2;
        z = dz.decompress(dec, lastHeight[l], (n == 1) + (k < 18 ? k & ~1u : 18));
        lastHeight[l] = z;

        put32(out, std::uint32_t(x));
        put32(out + 4, std::uint32_t(y));
        put32(out + 8, std::uint32_t(z));
        put16(out + 12, lastItemIntensity);
        out[14] = bits;
        out[15] = cls;
        out[16] = angle;
        out[17] = user;
        put16(out + 18, source);
    }

private:
    ArithmeticModel changed;
    ArithmeticModel scanAngle[2];
    ArithmeticModelSet bitByte;
    ArithmeticModelSet classification;
    ArithmeticModelSet userData;
    IntegerDecoder intensity;
    IntegerDecoder pointSource;
    IntegerDecoder dx;
    IntegerDecoder dy;
    IntegerDecoder dz;
    StreamingMedian medianX[16];
    StreamingMedian medianY[16];
    std::uint16_t lastIntensity[16];
    std::int32_t lastHeight[8];

    std::int32_t x = 0, y = 0, z = 0;
    std::uint16_t lastItemIntensity = 0;
    std::uint8_t bits = 0, cls = 0, angle = 0, user = 0;
    std::uint16_t source = 0;
};

class GpsTime11Decoder : public PointwiseChunkDecoder::ItemDecoder
{
public:
    GpsTime11Decoder() : gps(false) {}
    void init(const unsigned char* r) override { gps.init(u64(r)); }
    void decode(ArithmeticDecoder& dec, unsigned char* out) override { put64(out, gps.decode(dec)); }

private:
    GpsTimeDecoder gps;
};

// Colours as byte pairs: which of the six bytes changed, then each changed byte as a
// difference; green and blue predicted from red's change when the colour is not grey.
class Rgb12Decoder : public PointwiseChunkDecoder::ItemDecoder
{
public:
    Rgb12Decoder() : used(128), diffs{ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256),
                                      ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256)}
    {
    }

    void init(const unsigned char* r) override
    {
        used.init();
        for (ArithmeticModel& m : diffs)
            m.init();
        for (int i = 0; i < 3; ++i)
            last[i] = u16(r + 2 * i);
    }

    void decode(ArithmeticDecoder& dec, unsigned char* out) override
    {
        std::uint16_t rgb[3];
        LazItemCoding::decodeRgb(dec, used, diffs, last, rgb);
        for (int i = 0; i < 3; ++i)
        {
            put16(out + 2 * i, rgb[i]);
            last[i] = rgb[i];
        }
    }

private:
    ArithmeticModel used;
    ArithmeticModel diffs[6];
    std::uint16_t last[3] = {0, 0, 0};
};

class ByteDecoder : public PointwiseChunkDecoder::ItemDecoder
{
public:
    explicit ByteDecoder(unsigned count) : models(count, ArithmeticModel(256)), last(count, 0) {}

    void init(const unsigned char* r) override
    {
        for (std::size_t i = 0; i < models.size(); ++i)
        {
            models[i].init();
            last[i] = r[i];
        }
    }

    void decode(ArithmeticDecoder& dec, unsigned char* out) override
    {
        for (std::size_t i = 0; i < models.size(); ++i)
        {
            last[i] = std::uint8_t(last[i] + dec.decodeSymbol(models[i]));
            out[i] = last[i];
        }
    }

private:
    std::vector<ArithmeticModel> models;
    std::vector<std::uint8_t> last;
};

// The 29-byte wave packet descriptor: index, offset into the waveform data, size, return
// location and the direction vector. The waveform data itself is not read.
class WavePacket13Decoder : public PointwiseChunkDecoder::ItemDecoder
{
public:
    WavePacket13Decoder()
        : index(256), offsetDiff{ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4), ArithmeticModel(4)},
          offsetIc(32), sizeIc(32), returnIc(32), xyzIc(32, 3)
    {
    }

    void init(const unsigned char* r) override
    {
        index.init();
        for (ArithmeticModel& m : offsetDiff)
            m.init();
        offsetIc.init();
        sizeIc.init();
        returnIc.init();
        xyzIc.init();
        lastDiff = 0;
        lastSym = 0;
        std::memcpy(last, r + 1, 28);
    }

    void decode(ArithmeticDecoder& dec, unsigned char* out) override
    {
        out[0] = std::uint8_t(dec.decodeSymbol(index));
        const std::uint64_t lastOffset = u64(last);
        std::uint64_t offset;
        lastSym = dec.decodeSymbol(offsetDiff[lastSym]);
        if (lastSym == 0)
            offset = lastOffset;
        else if (lastSym == 1)
            offset = lastOffset + u32(last + 8);
        else if (lastSym == 2)
        {
            lastDiff = offsetIc.decompress(dec, lastDiff);
            offset = lastOffset + std::uint64_t(std::int64_t(lastDiff));
        }
        else
        {
            const std::uint64_t low = dec.readInt();
            offset = (std::uint64_t(dec.readInt()) << 32) | low;
        }
        unsigned char item[28];
        put64(item, offset);
        put32(item + 8, std::uint32_t(sizeIc.decompress(dec, i32(last + 8))));
        put32(item + 12, std::uint32_t(returnIc.decompress(dec, i32(last + 12))));
        for (unsigned i = 0; i < 3; ++i)
            put32(item + 16 + 4 * i, std::uint32_t(xyzIc.decompress(dec, i32(last + 16 + 4 * i), i)));
        std::memcpy(out + 1, item, 28);
        std::memcpy(last, item, 28);
    }

private:
    ArithmeticModel index;
    ArithmeticModel offsetDiff[4];
    IntegerDecoder offsetIc;
    IntegerDecoder sizeIc;
    IntegerDecoder returnIc;
    IntegerDecoder xyzIc;
    std::int32_t lastDiff = 0;
    unsigned lastSym = 0;
    unsigned char last[28] = {};
};

} // namespace

PointwiseChunkDecoder::PointwiseChunkDecoder(const LazItems& items) : recordLength(items.getRecordLength())
{
    unsigned offset = 0;
    for (const LazItems::Item& item : items.getItems())
    {
        switch (item.type)
        {
        case LazItems::Point10: decoders.emplace_back(new Point10Decoder); break;
        case LazItems::GpsTime11: decoders.emplace_back(new GpsTime11Decoder); break;
        case LazItems::Rgb12: decoders.emplace_back(new Rgb12Decoder); break;
        case LazItems::WavePacket13: decoders.emplace_back(new WavePacket13Decoder); break;
        default: decoders.emplace_back(new ByteDecoder(item.size)); break;
        }
        offsets.push_back(offset);
        offset += item.size;
    }
}

PointwiseChunkDecoder::~PointwiseChunkDecoder() = default;

void PointwiseChunkDecoder::begin(const unsigned char* data, std::size_t size, std::size_t count)
{
    chunk = data;
    chunkSize = size;
    left = count;
    started = false;
    problem.clear();
    if (count > 0 && size < recordLength)
    {
        problem = "the chunk ends inside its first record";
        left = 0;
    }
}

std::size_t PointwiseChunkDecoder::decode(unsigned char* out, std::size_t records)
{
    const std::size_t wanted = std::min(records, left);
    std::size_t done = 0;
    const std::size_t items = decoders.size();
    if (wanted > 0 && !started)
    {
        // The first record is stored as it is and starts every item's prediction.
        std::memcpy(out, chunk, recordLength);
        for (std::size_t i = 0; i < items; ++i)
            decoders[i]->init(out + offsets[i]);
        dec.init(chunk + recordLength, chunk + chunkSize);
        started = true;
        done = 1;
    }
    for (; done < wanted; ++done)
    {
        unsigned char* record = out + done * recordLength;
        for (std::size_t i = 0; i < items; ++i)
            decoders[i]->decode(dec, record + offsets[i]);
    }
    left -= wanted;
    if (started && dec.isDamaged())
    {
        problem = "the coded stream is damaged";
        left = 0;
    }
    return wanted;
}

std::size_t PointwiseChunkDecoder::getConsumed() const
{
    return started ? recordLength + dec.consumed() : 0;
}

} // namespace osgTAVRI
