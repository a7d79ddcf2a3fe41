#pragma once

#include "tin/las/laz/IntegerDecoder.h"

#include <cstdint>

namespace osgTAVRI
{

// GPS times as doubles, decoded on their bit patterns taken as integers: differences are
// predicted as multiples of the last difference, and up to four interleaved sequences are
// tracked (pulses of several scanners or flight lines mixed in time order). The point-wise
// coder also codes "unchanged"; the layered one codes only changes, with a symbol fewer in
// both of its models.
class GpsTimeDecoder
{
public:
    explicit GpsTimeDecoder(bool layered);

    void init(std::uint64_t first);
    std::uint64_t decode(ArithmeticDecoder& dec);

private:
    // Multipliers of the last difference; after them the point-wise coder's "unchanged",
    // then a full new time, then switches to the three other sequences.
    static const int multiMax = 500;
    static const int multiMinus = -10;
    static const int multiUnchanged = multiMax - multiMinus + 1;

    void extreme(std::int32_t diff);
    std::uint64_t readFull(ArithmeticDecoder& dec);

    bool layered;
    int codeFull;
    ArithmeticModel multi;
    ArithmeticModel zeroDiff;
    IntegerDecoder ic;
    unsigned last = 0;
    unsigned next = 0;
    std::uint64_t times[4] = {0, 0, 0, 0};
    std::int32_t diffs[4] = {0, 0, 0, 0};
    int extremes[4] = {0, 0, 0, 0};
};

} // namespace osgTAVRI
