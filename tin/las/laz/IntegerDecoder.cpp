#include "tin/las/laz/IntegerDecoder.h"

namespace osgTAVRI
{

IntegerDecoder::IntegerDecoder(unsigned bits, unsigned contexts, unsigned high)
    : bitsHigh(high)
{
    const unsigned corrBits = bits > 0 && bits < 32 ? bits : 32;
    mask = corrBits < 32 ? (1u << corrBits) - 1 : 0xFFFFFFFFu;
    corrMin = corrBits < 32 ? -std::int32_t(1u << (corrBits - 1)) : std::int32_t(0x80000000u);
    bitModels.resize(contexts);
    for (Model& m : bitModels)
        m.symbols = corrBits + 1;
    correctors.resize(corrBits);
    for (unsigned i = 1; i <= corrBits; ++i)
        correctors[i - 1].symbols = i <= bitsHigh ? 1u << i : 1u << bitsHigh;
}

} // namespace osgTAVRI
