#pragma once

#include "tin/las/laz/ArithmeticDecoder.h"

#include <cstdint>

namespace osgTAVRI
{

// What the point-wise and the layered item coders share: their context tables and the
// colour coding.
namespace LazItemCoding
{

// Context of a point by its number of returns n (row) and return number r (column), for
// the three-bit fields of formats 0 to 5: the usual (n, r) pairs get their own, unusual
// ones share.
extern const std::uint8_t returnMap8[8][8];
// |n - r|, at most 7: how far a return lies from the last one, the height predictor's context.
extern const std::uint8_t returnLevel8[8][8];
// The same for the four-bit fields of formats 6 to 10: single, first and last of two,
// first, middle and last of more; pairs with r > n count as (r, n). Then |n - r| up to 7.
extern const std::uint8_t returnMap16[16][16];
extern const std::uint8_t returnLevel16[16][16];

inline std::uint8_t clampByte(int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// One colour from the last: a 7-bit mask of the changed bytes (bit 6: not grey), then the
// changed bytes as differences modulo 256 from a prediction. `diffs` holds six models;
// `rgb` must not be `last`.
inline void decodeRgb(ArithmeticDecoder& dec, ArithmeticModel& used, ArithmeticModel* diffs,
                      const std::uint16_t* last, std::uint16_t* rgb)
{
    const unsigned sym = dec.decodeSymbol(used);
    unsigned lo, hi;
    lo = (sym & 1) ? std::uint8_t(dec.decodeSymbol(diffs[0]) + (last[0] & 0xFF)) : (last[0] & 0xFF);
    hi = (sym & 2) ? std::uint8_t(dec.decodeSymbol(diffs[1]) + (last[0] >> 8)) : (last[0] >> 8);
    rgb[0] = std::uint16_t(lo | (hi << 8));
    if (!(sym & 64))
    {
        rgb[1] = rgb[2] = rgb[0];
        return;
    }
    int diff = int(rgb[0] & 0xFF) - int(last[0] & 0xFF);
    unsigned g, b;
    g = (sym & 4) ? std::uint8_t(dec.decodeSymbol(diffs[2]) + clampByte(diff + int(last[1] & 0xFF)))
                  : (last[1] & 0xFF);
    if (sym & 16)
    {
        const int d = (diff + (int(g) - int(last[1] & 0xFF))) / 2;
        b = std::uint8_t(dec.decodeSymbol(diffs[4]) + clampByte(d + int(last[2] & 0xFF)));
    }
    else
        b = last[2] & 0xFF;

    diff = int(rgb[0] >> 8) - int(last[0] >> 8);
    unsigned gh, bh;
    gh = (sym & 8) ? std::uint8_t(dec.decodeSymbol(diffs[3]) + clampByte(diff + int(last[1] >> 8)))
                   : (last[1] >> 8);
    if (sym & 32)
    {
        const int d = (diff + (int(gh) - int(last[1] >> 8))) / 2;
        bh = std::uint8_t(dec.decodeSymbol(diffs[5]) + clampByte(d + int(last[2] >> 8)));
    }
    else
        bh = last[2] >> 8;
    rgb[1] = std::uint16_t(g | (gh << 8));
    rgb[2] = std::uint16_t(b | (bh << 8));
}

} // namespace LazItemCoding
} // namespace osgTAVRI
