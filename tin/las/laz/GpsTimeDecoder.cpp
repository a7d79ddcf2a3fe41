#include "tin/las/laz/GpsTimeDecoder.h"

namespace osgTAVRI
{

GpsTimeDecoder::GpsTimeDecoder(bool layeredCoder)
    : layered(layeredCoder), codeFull(layeredCoder ? multiUnchanged : multiUnchanged + 1),
      multi(unsigned(codeFull + 4)), zeroDiff(layeredCoder ? 5 : 6), ic(32, 9)
{
}

void GpsTimeDecoder::init(std::uint64_t first)
{
    multi.init();
    zeroDiff.init();
    ic.init();
    last = next = 0;
    for (int i = 0; i < 4; ++i)
    {
        times[i] = 0;
        diffs[i] = 0;
        extremes[i] = 0;
    }
    times[0] = first;
}

void GpsTimeDecoder::extreme(std::int32_t diff)
{
    // A difference far from the prediction becomes the new one only when it repeats.
    if (++extremes[last] > 3)
    {
        diffs[last] = diff;
        extremes[last] = 0;
    }
}

std::uint64_t GpsTimeDecoder::readFull(ArithmeticDecoder& dec)
{
    // A jump too large for 32 bits starts a new sequence: its high half predicted from the
    // current one, its low half raw.
    next = (next + 1) & 3;
    const std::uint32_t high = std::uint32_t(ic.decompress(dec, std::int32_t(times[last] >> 32), 8));
    times[next] = (std::uint64_t(high) << 32) | dec.readInt();
    last = next;
    diffs[last] = 0;
    extremes[last] = 0;
    return times[last];
}

std::uint64_t GpsTimeDecoder::decode(ArithmeticDecoder& dec)
{
    // A switch to another sequence is followed by that sequence's own code; a valid stream
    // never switches twice in a row, and a damaged one must not loop.
    for (int round = 0; round < 4; ++round)
    {
        if (diffs[last] == 0)
        {
            // The point-wise coder's symbol 0 is "unchanged"; the layered coder has none.
            const unsigned code = dec.decodeSymbol(zeroDiff) + (layered ? 1 : 0);
            if (code == 0)
                return times[last];
            if (code == 1)
            {
                diffs[last] = ic.decompress(dec, 0, 0);
                times[last] += std::uint64_t(std::int64_t(diffs[last]));
                extremes[last] = 0;
                return times[last];
            }
            if (code == 2)
                return readFull(dec);
            last = (last + code - 2) & 3;
            continue;
        }

        const int m = int(dec.decodeSymbol(multi));
        const std::uint32_t lastDiff = std::uint32_t(diffs[last]);
        if (m == 1)
        {
            times[last] += std::uint64_t(std::int64_t(ic.decompress(dec, diffs[last], 1)));
            extremes[last] = 0;
            return times[last];
        }
        if (m < multiUnchanged)
        {
            std::int32_t diff;
            if (m == 0)
            {
                diff = ic.decompress(dec, 0, 7);
                extreme(diff);
            }
            else if (m < multiMax)
                diff = ic.decompress(dec, std::int32_t(std::uint32_t(m) * lastDiff), m < 10 ? 2 : 3);
            else if (m == multiMax)
            {
                diff = ic.decompress(dec, std::int32_t(std::uint32_t(multiMax) * lastDiff), 4);
                extreme(diff);
            }
            else
            {
                const int factor = multiMax - m;
                if (factor > multiMinus)
                    diff = ic.decompress(dec, std::int32_t(std::uint32_t(factor) * lastDiff), 5);
                else
                {
                    diff = ic.decompress(dec, std::int32_t(std::uint32_t(multiMinus) * lastDiff), 6);
                    extreme(diff);
                }
            }
            times[last] += std::uint64_t(std::int64_t(diff));
            return times[last];
        }
        if (m == codeFull)
            return readFull(dec);
        if (m == multiUnchanged)
            return times[last];
        last = (last + unsigned(m - codeFull)) & 3;
    }
    dec.fail();
    return times[last];
}

} // namespace osgTAVRI
