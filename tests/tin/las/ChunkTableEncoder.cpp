#include "tests/tin/las/ChunkTableEncoder.h"

#include "tin/las/LasBytes.h"
#include "tin/las/laz/ArithmeticModel.h"

#include <memory>

namespace lazt
{

namespace
{
using osgTAVRI::ArithmeticBitModel;
using osgTAVRI::ArithmeticModel;

// The encoder that the decoder undoes: the range shrinks by each symbol's share, bytes go out
// from the top once the range falls below 2^24, a carry runs back through the bytes written.
class Encoder
{
public:
    void encodeSymbol(ArithmeticModel& m, unsigned sym)
    {
        const std::uint32_t before = base;
        const std::uint32_t unit = length >> ArithmeticModel::lengthShift;
        const std::uint32_t x = m.distribution[sym] * unit;
        base += x;
        // The last symbol takes the rest of the range, as the decoder assumes.
        length = sym == m.lastSymbol ? length - x : m.distribution[sym + 1] * unit - x;
        if (before > base)
            carry();
        if (length < minLength)
            renorm();
        ++m.symbolCount[sym];
        if (--m.symbolsUntilUpdate == 0)
            m.update();
    }

    void encodeBit(ArithmeticBitModel& m, unsigned bit)
    {
        const std::uint32_t x = m.bit0Prob * (length >> ArithmeticBitModel::lengthShift);
        if (bit == 0)
        {
            length = x;
            ++m.bit0Count;
        }
        else
        {
            const std::uint32_t before = base;
            base += x;
            length -= x;
            if (before > base)
                carry();
        }
        if (length < minLength)
            renorm();
        if (--m.bitsUntilUpdate == 0)
            m.update();
    }

    void writeBits(unsigned bits, std::uint32_t sym)
    {
        if (bits > 19)
        {
            writeBits(16, sym & 0xFFFF);
            sym >>= 16;
            bits -= 16;
        }
        const std::uint32_t before = base;
        base += sym * (length >>= bits);
        if (before > base)
            carry();
        if (length < minLength)
            renorm();
    }

    // Ends the code so that the decoder takes exactly the bytes written.
    std::string done()
    {
        const std::uint32_t before = base;
        bool another = true;
        if (length > 2 * minLength)
        {
            base += minLength;
            length = minLength >> 1;
        }
        else
        {
            base += minLength >> 1;
            length = minLength >> 9;
            another = false;
        }
        if (before > base)
            carry();
        renorm();
        out.push_back('\0');
        out.push_back('\0');
        if (another)
            out.push_back('\0');
        return out;
    }

private:
    static const std::uint32_t minLength = 0x01000000u;

    void carry()
    {
        std::size_t i = out.size();
        while (i > 0 && static_cast<unsigned char>(out[i - 1]) == 0xFF)
            out[--i] = '\0';
        if (i > 0)
            out[i - 1] = char(static_cast<unsigned char>(out[i - 1]) + 1);
    }

    void renorm()
    {
        do
        {
            out.push_back(char(base >> 24));
            base <<= 8;
        } while ((length <<= 8) < minLength);
    }

    std::uint32_t base = 0;
    std::uint32_t length = 0xFFFFFFFFu;
    std::string out;
};

// Corrections of 32-bit values against their prediction, in the decoder's bands.
class IntegerEncoder
{
public:
    explicit IntegerEncoder(unsigned contexts)
    {
        for (unsigned i = 0; i < contexts; ++i)
            bitModels.emplace_back(new ArithmeticModel(33));
        for (unsigned k = 1; k <= 32; ++k)
            correctors.emplace_back(new ArithmeticModel(k <= 8 ? 1u << k : 256u));
    }

    void compress(Encoder& enc, std::int32_t pred, std::int32_t real, unsigned context)
    {
        const std::int32_t c = std::int32_t(std::uint32_t(real) - std::uint32_t(pred));
        std::uint32_t magnitude = c <= 0 ? std::uint32_t(0) - std::uint32_t(c) : std::uint32_t(c) - 1;
        unsigned k = 0;
        while (magnitude)
        {
            magnitude >>= 1;
            ++k;
        }
        enc.encodeSymbol(*bitModels[context], k);
        if (k == 0)
        {
            enc.encodeBit(zero, unsigned(c));
            return;
        }
        if (k == 32)
            return;
        std::uint32_t v = c < 0 ? std::uint32_t(c) + ((1u << k) - 1) : std::uint32_t(c) - 1;
        if (k <= 8)
            enc.encodeSymbol(*correctors[k - 1], v);
        else
        {
            const unsigned low = k - 8;
            enc.encodeSymbol(*correctors[k - 1], v >> low);
            enc.writeBits(low, v & ((1u << low) - 1));
        }
    }

private:
    std::vector<std::unique_ptr<ArithmeticModel>> bitModels;
    std::vector<std::unique_ptr<ArithmeticModel>> correctors;
    ArithmeticBitModel zero;
};
} // namespace

std::string encodeChunkTable(const std::vector<std::uint32_t>& sizes, const std::vector<std::uint32_t>& counts)
{
    std::string head(8, '\0');
    osgTAVRI::LasBytes::put32(reinterpret_cast<unsigned char*>(&head[4]), std::uint32_t(sizes.size()));
    Encoder enc;
    IntegerEncoder ic(2);
    for (std::size_t i = 0; i < sizes.size(); ++i)
    {
        if (!counts.empty())
            ic.compress(enc, i ? std::int32_t(counts[i - 1]) : 0, std::int32_t(counts[i]), 0);
        ic.compress(enc, i ? std::int32_t(sizes[i - 1]) : 0, std::int32_t(sizes[i]), 1);
    }
    return head + enc.done();
}

} // namespace lazt
