#include "tin/las/laz/LayeredChunkDecoder.h"

#include "tin/las/LasBytes.h"
#include "tin/las/laz/GpsTimeDecoder.h"
#include "tin/las/laz/IntegerDecoder.h"
#include "tin/las/laz/LazItemCoding.h"
#include "tin/las/laz/StreamingMedian.h"

#include <cstring>

namespace osgTAVRI
{

using namespace LasBytes;

using Layer = LayeredChunkDecoder::Layer;

namespace
{
// A layer's decoder, or none when the layer is empty and its fields stay as they were.
struct LayerStream
{
    ArithmeticDecoder dec;
    std::size_t size = 0;
    bool changed = false;

    void start(const Layer& layer)
    {
        size = layer.size;
        changed = layer.size > 0;
        if (changed)
            dec.init(layer.data, layer.data + layer.size);
    }

    // A layer must be taken exactly: a valid stream ends where its layer ends.
    bool damaged(bool finished) const
    {
        return changed && (dec.isDamaged() || (finished && dec.consumed() != size));
    }
};
} // namespace

class LayeredChunkDecoder::ItemDecoder
{
public:
    explicit ItemDecoder(unsigned layerCount) : layers(layerCount) {}
    virtual ~ItemDecoder() = default;

    unsigned getLayerCount() const { return unsigned(layers.size()); }

    void start(const unsigned char* record, const Layer* bytes, unsigned context)
    {
        for (std::size_t i = 0; i < layers.size(); ++i)
            layers[i].start(bytes[i]);
        init(record, context);
    }

    virtual void decode(unsigned char* record, unsigned& context) = 0;

    bool damaged(bool finished) const
    {
        for (const LayerStream& layer : layers)
            if (layer.damaged(finished))
                return true;
        return false;
    }

protected:
    virtual void init(const unsigned char* record, unsigned context) = 0;

    std::vector<LayerStream> layers;
};

namespace
{

// The fields of a format 6 record that the point item codes.
struct Point14
{
    std::int32_t x, y, z;
    std::uint16_t intensity;
    unsigned returnNumber, returns;
    unsigned classFlags, channel, scanDirection, edge;
    std::uint8_t classification, user;
    std::uint16_t scanAngle;
    std::uint16_t source;
    std::uint64_t gps;
    bool gpsChange;

    void read(const unsigned char* p)
    {
        x = i32(p);
        y = i32(p + 4);
        z = i32(p + 8);
        intensity = u16(p + 12);
        returnNumber = p[14] & 15;
        returns = p[14] >> 4;
        classFlags = p[15] & 15;
        channel = (p[15] >> 4) & 3;
        scanDirection = (p[15] >> 6) & 1;
        edge = p[15] >> 7;
        classification = p[16];
        user = p[17];
        scanAngle = u16(p + 18);
        source = u16(p + 20);
        gps = u64(p + 22);
        gpsChange = false;
    }

    void write(unsigned char* p) const
    {
        put32(p, std::uint32_t(x));
        put32(p + 4, std::uint32_t(y));
        put32(p + 8, std::uint32_t(z));
        put16(p + 12, intensity);
        p[14] = std::uint8_t(returnNumber | (returns << 4));
        p[15] = std::uint8_t(classFlags | (channel << 4) | (scanDirection << 6) | (edge << 7));
        p[16] = classification;
        p[17] = user;
        put16(p + 18, scanAngle);
        put16(p + 20, source);
        put64(p + 22, gps);
    }
};

// Everything the point item predicts from, for one scanner channel.
struct Point14Context
{
    Point14Context()
        : changed(8, ArithmeticModel(128)), channelDiff(3), returns(16, 16), returnNumber(16, 16),
          dx(32, 2), dy(32, 22), dz(32, 20), classification(64, 256), flags(64, 64), userData(64, 256),
          intensity(16, 4), scanAngle(16, 2), source(16), gps(true)
    {
    }

    void init(const Point14& item)
    {
        for (ArithmeticModel& m : changed)
            m.init();
        channelDiff.init();
        returns.init();
        returnNumber.init();
        returnGpsSame.init();
        dx.init();
        dy.init();
        dz.init();
        classification.init();
        flags.init();
        userData.init();
        intensity.init();
        scanAngle.init();
        source.init();
        gps.init(item.gps);
        for (int i = 0; i < 12; ++i)
        {
            medianX[i].init();
            medianY[i].init();
        }
        for (int i = 0; i < 8; ++i)
        {
            lastZ[i] = item.z;
            lastIntensity[i] = item.intensity;
        }
        last = item;
        last.gpsChange = false;
        unused = false;
    }

    bool unused = true;
    Point14 last;
    std::vector<ArithmeticModel> changed;
    ArithmeticModel channelDiff;
    ArithmeticModelSet returns;
    ArithmeticModelSet returnNumber;
    ArithmeticBitModel returnGpsSame;
    IntegerDecoder dx, dy, dz;
    ArithmeticModelSet classification, flags, userData;
    IntegerDecoder intensity, scanAngle, source;
    GpsTimeDecoder gps;
    StreamingMedian medianX[12], medianY[12];
    std::int32_t lastZ[8];
    std::uint16_t lastIntensity[8];
};

// The 30-byte base record of formats 6 to 10, in nine layers: channel, returns and X, Y;
// Z; classification; flags; intensity; scan angle; user data; point source; GPS time.
class Point14Decoder : public LayeredChunkDecoder::ItemDecoder
{
public:
    Point14Decoder() : ItemDecoder(9) {}

    void init(const unsigned char* record, unsigned) override
    {
        Point14 first;
        first.read(record);
        for (auto& c : contexts)
            if (c)
                c->unused = true;
        current = first.channel;
        context(current).init(first);
    }

    unsigned getContext() const { return current; }

    void decode(unsigned char* record, unsigned& channel) override
    {
        ArithmeticDecoder& xy = layers[0].dec;
        Point14Context* c = contexts[current].get();
        const unsigned lpr = (c->last.returnNumber == 1 ? 1 : 0) +
                             (c->last.returnNumber >= c->last.returns ? 2 : 0) + (c->last.gpsChange ? 4 : 0);
        const unsigned changed = xy.decodeSymbol(c->changed[lpr]);
        if (changed & 64)
        {
            const unsigned next = (current + xy.decodeSymbol(c->channelDiff) + 1) & 3;
            Point14Context& n = context(next);
            if (n.unused)
                n.init(c->last);
            current = next;
            c = &n;
            c->last.channel = next;
        }
        channel = current;
        Point14& last = c->last;
        const bool sourceChange = (changed & 32) != 0;
        const unsigned gpsChange = (changed & 16) ? 1 : 0;
        const bool angleChange = (changed & 8) != 0;

        unsigned n = last.returns;
        if (changed & 4)
            last.returns = n = xy.decodeSymbol(c->returns.get(n));
        unsigned r = last.returnNumber;
        switch (changed & 3)
        {
        case 0: break;
        case 1: r = (r + 1) & 15; break;
        case 2: r = (r + 15) & 15; break;
        default:
            if (gpsChange)
                r = xy.decodeSymbol(c->returnNumber.get(r));
            else
                r = (r + xy.decodeBit(c->returnGpsSame) + 2) & 15;
        }
        last.returnNumber = r;

        const unsigned m = LazItemCoding::returnMap16[n][r];
        const unsigned l = LazItemCoding::returnLevel16[n][r];
        const unsigned cpr = (r == 1 ? 2 : 0) + (r >= n ? 1 : 0);
        const unsigned slot = (m << 1) | gpsChange;

        std::int32_t diff = c->dx.decompress(xy, c->medianX[slot].get(), n == 1);
        last.x = std::int32_t(std::uint32_t(last.x) + std::uint32_t(diff));
        c->medianX[slot].add(diff);
        unsigned k = c->dx.getK();
        diff = c->dy.decompress(xy, c->medianY[slot].get(), (n == 1) + (k < 20 ? k & ~1u : 20));
        last.y = std::int32_t(std::uint32_t(last.y) + std::uint32_t(diff));
        c->medianY[slot].add(diff);

        if (layers[1].changed)
        {
            k = (c->dx.getK() + c->dy.getK()) / 2;
            last.z = c->dz.decompress(layers[1].dec, c->lastZ[l], (n == 1) + (k < 18 ? k & ~1u : 18));
            c->lastZ[l] = last.z;
        }
        if (layers[2].changed)
        {
            const unsigned ccc = ((last.classification & 0x1Fu) << 1) + (cpr == 3 ? 1 : 0);
            last.classification = std::uint8_t(layers[2].dec.decodeSymbol(c->classification.get(ccc)));
        }
        if (layers[3].changed)
        {
            const unsigned before = (last.edge << 5) | (last.scanDirection << 4) | last.classFlags;
            const unsigned f = layers[3].dec.decodeSymbol(c->flags.get(before));
            last.edge = (f >> 5) & 1;
            last.scanDirection = (f >> 4) & 1;
            last.classFlags = f & 15;
        }
        if (layers[4].changed)
        {
            const unsigned at = (cpr << 1) | gpsChange;
            last.intensity = std::uint16_t(c->intensity.decompress(layers[4].dec, c->lastIntensity[at], cpr));
            c->lastIntensity[at] = last.intensity;
        }
        if (layers[5].changed && angleChange)
            last.scanAngle = std::uint16_t(
                c->scanAngle.decompress(layers[5].dec, std::int16_t(last.scanAngle), gpsChange));
        if (layers[6].changed)
            last.user = std::uint8_t(layers[6].dec.decodeSymbol(c->userData.get(last.user / 4)));
        if (layers[7].changed && sourceChange)
            last.source = std::uint16_t(c->source.decompress(layers[7].dec, last.source));
        if (layers[8].changed && gpsChange)
            last.gps = c->gps.decode(layers[8].dec);
        last.write(record);
        last.gpsChange = gpsChange != 0;
    }

private:
    Point14Context& context(unsigned i)
    {
        if (!contexts[i])
            contexts[i].reset(new Point14Context);
        return *contexts[i];
    }

    std::unique_ptr<Point14Context> contexts[4];
    unsigned current = 0;
};

// The per-channel states of an item after the point: they follow the point item's scanner
// channel, and a channel not seen before in the chunk starts from the last values of the
// channel before it.
template <typename State>
struct ChannelStates
{
    State states[4];
    unsigned current = 0;

    template <typename First>
    void reset(unsigned channel, const First& first)
    {
        for (State& s : states)
            s.unused = true;
        current = channel;
        states[current].start(first);
    }

    State& follow(unsigned channel)
    {
        if (channel != current)
        {
            const unsigned previous = current;
            current = channel;
            if (states[current].unused)
                states[current].start(states[previous].last);
        }
        return states[current];
    }
};

// Colour (and near infrared) of formats 7, 8 and 10 in one layer each, coded like the
// point-wise colour but with a set of models per scanner channel.
class RgbNir14Decoder : public LayeredChunkDecoder::ItemDecoder
{
public:
    explicit RgbNir14Decoder(bool withNir) : ItemDecoder(withNir ? 2 : 1), nir(withNir) {}

    void init(const unsigned char* record, unsigned channel) override
    {
        std::uint16_t first[4];
        for (int i = 0; i < 4; ++i)
            first[i] = i < 3 || nir ? u16(record + 2 * i) : 0;
        states.reset(channel, first);
    }

    void decode(unsigned char* record, unsigned& channel) override
    {
        State& s = states.follow(channel);
        if (layers[0].changed)
        {
            std::uint16_t rgb[3];
            LazItemCoding::decodeRgb(layers[0].dec, s.used, s.diffs, s.last, rgb);
            std::memcpy(s.last, rgb, sizeof rgb);
        }
        for (int i = 0; i < 3; ++i)
            put16(record + 2 * i, s.last[i]);
        if (!nir)
            return;
        if (layers[1].changed)
        {
            ArithmeticDecoder& dec = layers[1].dec;
            const unsigned sym = dec.decodeSymbol(s.nirUsed);
            unsigned lo = s.last[3] & 0xFF, hi = s.last[3] >> 8;
            if (sym & 1)
                lo = std::uint8_t(dec.decodeSymbol(s.nirDiffs[0]) + lo);
            if (sym & 2)
                hi = std::uint8_t(dec.decodeSymbol(s.nirDiffs[1]) + hi);
            s.last[3] = std::uint16_t(lo | (hi << 8));
        }
        put16(record + 6, s.last[3]);
    }

private:
    struct State
    {
        State()
            : used(128), diffs{ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256),
                               ArithmeticModel(256), ArithmeticModel(256), ArithmeticModel(256)},
              nirUsed(4), nirDiffs{ArithmeticModel(256), ArithmeticModel(256)}
        {
        }

        void start(const std::uint16_t* from)
        {
            used.init();
            for (ArithmeticModel& m : diffs)
                m.init();
            nirUsed.init();
            nirDiffs[0].init();
            nirDiffs[1].init();
            std::memcpy(last, from, sizeof last);
            unused = false;
        }

        bool unused = true;
        std::uint16_t last[4] = {0, 0, 0, 0};
        ArithmeticModel used;
        ArithmeticModel diffs[6];
        ArithmeticModel nirUsed;
        ArithmeticModel nirDiffs[2];
    };

    bool nir;
    ChannelStates<State> states;
};

// Extra bytes, one layer per byte, each a difference from the channel's last value.
class Byte14Decoder : public LayeredChunkDecoder::ItemDecoder
{
public:
    explicit Byte14Decoder(unsigned count) : ItemDecoder(count)
    {
        for (State& s : states.states)
        {
            s.last.assign(count, 0);
            s.models = std::vector<ArithmeticModel>(count, ArithmeticModel(256));
        }
    }

    void init(const unsigned char* record, unsigned channel) override
    {
        states.reset(channel, record);
    }

    void decode(unsigned char* record, unsigned& channel) override
    {
        State& s = states.follow(channel);
        for (std::size_t i = 0; i < s.last.size(); ++i)
        {
            if (layers[i].changed)
                s.last[i] = std::uint8_t(s.last[i] + layers[i].dec.decodeSymbol(s.models[i]));
            record[i] = s.last[i];
        }
    }

private:
    struct State
    {
        void start(const unsigned char* from)
        {
            for (std::size_t i = 0; i < last.size(); ++i)
            {
                models[i].init();
                last[i] = from[i];
            }
            unused = false;
        }

        void start(const std::vector<std::uint8_t>& from) { start(from.data()); }

        bool unused = true;
        std::vector<std::uint8_t> last;
        std::vector<ArithmeticModel> models;
    };

    ChannelStates<State> states;
};

} // namespace

LayeredChunkDecoder::LayeredChunkDecoder(const LazItems& items) : recordLength(items.getRecordLength())
{
    unsigned offset = 0;
    layerCount = 0;
    for (const LazItems::Item& item : items.getItems())
    {
        switch (item.type)
        {
        case LazItems::Point14: decoders.emplace_back(new Point14Decoder); break;
        case LazItems::Rgb14: decoders.emplace_back(new RgbNir14Decoder(false)); break;
        case LazItems::RgbNir14: decoders.emplace_back(new RgbNir14Decoder(true)); break;
        default: decoders.emplace_back(new Byte14Decoder(item.size)); break;
        }
        offsets.push_back(offset);
        offset += item.size;
        layerCount += decoders.back()->getLayerCount();
    }
    layers.resize(layerCount);
}

LayeredChunkDecoder::~LayeredChunkDecoder() = default;

void LayeredChunkDecoder::begin(const unsigned char* data, std::size_t size, std::size_t count)
{
    chunk = data;
    left = count;
    started = false;
    consumed = 0;
    problem.clear();
    if (count == 0)
        return;
    const std::size_t head = recordLength + 4 + 4 * layerCount;
    if (size < head)
        problem = "the chunk ends inside its head";
    else if (u32(data + recordLength) != count)
        problem = "the chunk holds " + std::to_string(u32(data + recordLength)) + " points instead of " +
                  std::to_string(count);
    std::size_t at = head;
    for (std::size_t i = 0; i < layerCount && problem.empty(); ++i)
    {
        const std::size_t bytes = u32(data + recordLength + 4 + 4 * i);
        if (bytes > size - at)
            problem = "layer " + std::to_string(i + 1) + " of " + std::to_string(layerCount) +
                      " runs past the chunk's end";
        layers[i] = Layer{data + at, bytes};
        at += bytes;
    }
    if (!problem.empty())
        left = 0;
    else
        consumed = at;
}

std::size_t LayeredChunkDecoder::decode(unsigned char* out, std::size_t records)
{
    const std::size_t wanted = std::min(records, left);
    std::size_t done = 0;
    if (wanted > 0 && !started)
    {
        std::memcpy(out, chunk, recordLength);
        const Layer* next = layers.data();
        for (std::size_t i = 0; i < decoders.size(); ++i)
        {
            decoders[i]->start(out + offsets[i], next, channel);
            next += decoders[i]->getLayerCount();
            // The point item's channel is every other item's too.
            if (i == 0)
                channel = static_cast<Point14Decoder&>(*decoders[0]).getContext();
        }
        started = true;
        done = 1;
    }
    for (; done < wanted; ++done)
    {
        unsigned char* record = out + done * recordLength;
        for (std::size_t i = 0; i < decoders.size(); ++i)
            decoders[i]->decode(record + offsets[i], channel);
    }
    left -= wanted;
    for (std::size_t i = 0; i < decoders.size() && started; ++i)
        if (decoders[i]->damaged(left == 0))
        {
            problem = "the coded stream is damaged";
            left = 0;
            break;
        }
    return wanted;
}

} // namespace osgTAVRI
