#include "tin/las/laz/ArithmeticModel.h"

namespace osgTAVRI
{

ArithmeticModel::ArithmeticModel(unsigned count) : symbols(count < 2 ? 2 : count), lastSymbol(symbols - 1)
{
    // Alphabets of more than 16 symbols get a table of 2^b entries, b >= 3, 4 symbols per entry at most.
    if (symbols > 16)
    {
        unsigned bits = 3;
        while (symbols > (1u << (bits + 2)))
            ++bits;
        tableSize = 1u << bits;
        tableShift = lengthShift - bits;
    }
    else
    {
        tableSize = 0;
        tableShift = 0;
    }
    storage.resize(2 * symbols + (tableSize ? tableSize + 2 : 0));
    layOut();
    init();
}

ArithmeticModel::ArithmeticModel(const ArithmeticModel& other)
    : symbols(other.symbols), lastSymbol(other.lastSymbol), tableSize(other.tableSize),
      tableShift(other.tableShift), totalCount(other.totalCount), updateCycle(other.updateCycle),
      symbolsUntilUpdate(other.symbolsUntilUpdate), storage(other.storage)
{
    layOut();
}

void ArithmeticModel::layOut()
{
    distribution = storage.data();
    symbolCount = distribution + symbols;
    decoderTable = tableSize ? symbolCount + symbols : nullptr;
}

void ArithmeticModel::init()
{
    totalCount = 0;
    updateCycle = symbols;
    for (unsigned k = 0; k < symbols; ++k)
        symbolCount[k] = 1;
    update();
    symbolsUntilUpdate = updateCycle = (symbols + 6) >> 1;
}

void ArithmeticModel::update()
{
    // Halve the counts when they would exceed the precision of the scaled distribution.
    if ((totalCount += updateCycle) > maxCount)
    {
        totalCount = 0;
        for (unsigned n = 0; n < symbols; ++n)
            totalCount += (symbolCount[n] = (symbolCount[n] + 1) >> 1);
    }
    const std::uint32_t scale = 0x80000000u / totalCount;
    std::uint32_t sum = 0;
    if (tableSize == 0)
    {
        for (unsigned k = 0; k < symbols; ++k)
        {
            distribution[k] = (scale * sum) >> (31 - lengthShift);
            sum += symbolCount[k];
        }
    }
    else
    {
        unsigned s = 0;
        for (unsigned k = 0; k < symbols; ++k)
        {
            distribution[k] = (scale * sum) >> (31 - lengthShift);
            sum += symbolCount[k];
            const unsigned w = distribution[k] >> tableShift;
            while (s < w)
                decoderTable[++s] = k - 1;
        }
        decoderTable[0] = 0;
        while (s <= tableSize)
            decoderTable[++s] = symbols - 1;
    }
    updateCycle = (5 * updateCycle) >> 2;
    const unsigned maxCycle = (symbols + 6) << 3;
    if (updateCycle > maxCycle)
        updateCycle = maxCycle;
    symbolsUntilUpdate = updateCycle;
}

void ArithmeticBitModel::update()
{
    if ((bitCount += updateCycle) > maxCount)
    {
        bitCount = (bitCount + 1) >> 1;
        bit0Count = (bit0Count + 1) >> 1;
        if (bit0Count == bitCount)
            ++bitCount;
    }
    const std::uint32_t scale = 0x80000000u / bitCount;
    bit0Prob = (bit0Count * scale) >> (31 - lengthShift);
    if ((updateCycle = (5 * updateCycle) >> 2) > 64)
        updateCycle = 64;
    bitsUntilUpdate = updateCycle;
}

} // namespace osgTAVRI
