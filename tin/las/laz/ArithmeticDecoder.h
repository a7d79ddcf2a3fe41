#pragma once

#include "tin/las/laz/ArithmeticModel.h"

#include <cstddef>
#include <cstdint>

namespace osgTAVRI
{

// Range decoder for the 32-bit arithmetic code of compressed LAS: renormalisation byte by
// byte once the range falls below 2^24. It reads from memory and never beyond `end`: past
// it, it sees zeros and counts them, so a damaged stream cannot take it out of its buffer.
// A valid stream keeps the value below the range and is consumed exactly; `isDamaged()`
// tells that either has failed.
class ArithmeticDecoder
{
public:
    static const std::uint32_t minLength = 0x01000000u;
    static const std::uint32_t maxLength = 0xFFFFFFFFu;

    void init(const unsigned char* begin, const unsigned char* end)
    {
        first = next = begin;
        last = end;
        overrun = 0;
        broken = false;
        length = maxLength;
        value = std::uint32_t(nextByte()) << 24;
        value |= std::uint32_t(nextByte()) << 16;
        value |= std::uint32_t(nextByte()) << 8;
        value |= std::uint32_t(nextByte());
    }

    unsigned decodeBit(ArithmeticBitModel& m)
    {
        const std::uint32_t x = m.bit0Prob * (length >> ArithmeticBitModel::lengthShift);
        unsigned bit;
        if (value < x)
        {
            bit = 0;
            length = x;
            ++m.bit0Count;
        }
        else
        {
            bit = 1;
            value -= x;
            length -= x;
        }
        if (length < minLength)
            renorm();
        if (--m.bitsUntilUpdate == 0)
            m.update();
        return bit;
    }

    unsigned decodeSymbol(ArithmeticModel& m)
    {
        std::uint32_t x, y = length;
        unsigned sym;
        if (m.decoderTable)
        {
            length >>= ArithmeticModel::lengthShift;
            const std::uint32_t dv = value / length;
            unsigned t = dv >> m.tableShift;
            if (t > m.tableSize) // only a damaged stream gets here
                t = m.tableSize;
            sym = m.decoderTable[t];
            const unsigned n = m.decoderTable[t + 1];
            // Upwards among the few symbols that the table entry leaves.
            while (sym < n && m.distribution[sym + 1] <= dv)
                ++sym;
            x = m.distribution[sym] * length;
            if (sym != m.lastSymbol)
                y = m.distribution[sym + 1] * length;
        }
        else
        {
            x = 0;
            sym = 0;
            length >>= ArithmeticModel::lengthShift;
            unsigned n = m.symbols;
            unsigned k = n >> 1;
            do
            {
                const std::uint32_t z = length * m.distribution[k];
                if (z > value)
                {
                    n = k;
                    y = z;
                }
                else
                {
                    sym = k;
                    x = z;
                }
            } while ((k = (sym + n) >> 1) != sym);
        }
        value -= x;
        length = y - x;
        if (length < minLength)
            renorm();
        ++m.symbolCount[sym];
        if (--m.symbolsUntilUpdate == 0)
            m.update();
        return sym;
    }

    // Raw bits, equiprobable, at most 32.
    std::uint32_t readBits(unsigned bits)
    {
        if (bits > 19)
        {
            const std::uint32_t low = readShort();
            return (readBits(bits - 16) << 16) | low;
        }
        const std::uint32_t sym = value / (length >>= bits);
        value -= length * sym;
        if (length < minLength)
            renorm();
        return sym;
    }

    std::uint32_t readShort()
    {
        const std::uint32_t sym = value / (length >>= 16);
        value -= length * sym;
        if (length < minLength)
            renorm();
        return sym & 0xFFFFu;
    }

    std::uint32_t readInt()
    {
        const std::uint32_t low = readShort();
        return (readShort() << 16) | low;
    }

    // Bytes taken from the stream, counting those wanted past its end.
    std::size_t consumed() const { return std::size_t(next - first) + overrun; }
    bool isDamaged() const { return broken || overrun > 0; }
    // Marks the stream damaged: a decoded value that no valid stream holds.
    void fail() { broken = true; }

private:
    unsigned char nextByte()
    {
        if (next < last)
            return *next++;
        ++overrun;
        return 0;
    }

    void renorm()
    {
        // A valid stream always keeps the value inside the range.
        if (value >= length)
            broken = true;
        do
        {
            value = (value << 8) | nextByte();
        } while ((length <<= 8) < minLength);
    }

    std::uint32_t value = 0;
    std::uint32_t length = maxLength;
    const unsigned char* first = nullptr;
    const unsigned char* next = nullptr;
    const unsigned char* last = nullptr;
    std::size_t overrun = 0;
    bool broken = false;
};

} // namespace osgTAVRI
