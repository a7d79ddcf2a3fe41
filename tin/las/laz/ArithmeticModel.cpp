#include "tin/las/laz/ArithmeticModel.h"

#include <atomic>
#include <cstring>

namespace osgTAVRI
{

ArithmeticModel::ArithmeticModel(unsigned count) : symbols(count < 2 ? 2 : count), lastSymbol(symbols - 1)
{
    // Alphabets of more than 16 symbols get a table of 2^b entries, two or more per symbol:
    // most entries then hold one symbol, and the search after the lookup seldom steps.
    if (symbols > 16)
    {
        unsigned bits = 3;
        while (symbols > (1u << (bits - 1)))
            ++bits;
        tableSize = 1u << bits;
        tableShift = lengthShift - bits;
    }
    else
    {
        tableSize = 0;
        tableShift = 0;
    }
    storageSize = 2 * symbols + (tableSize ? tableSize + 2 : 0);
    storage.reset(new std::uint32_t[storageSize]);
    layOut();
    init();
}

ArithmeticModel::ArithmeticModel(const ArithmeticModel& other)
    : symbols(other.symbols), lastSymbol(other.lastSymbol), tableSize(other.tableSize),
      tableShift(other.tableShift), totalCount(other.totalCount), updateCycle(other.updateCycle),
      symbolsUntilUpdate(other.symbolsUntilUpdate), storage(new std::uint32_t[other.storageSize]),
      storageSize(other.storageSize)
{
    std::memcpy(storage.get(), other.storage.get(), storageSize * sizeof(std::uint32_t));
    layOut();
}

void ArithmeticModel::layOut()
{
    distribution = storage.get();
    symbolCount = distribution + symbols;
    decoderTable = tableSize ? symbolCount + symbols : nullptr;
}

void ArithmeticModel::init()
{
    // Every model of an alphabet size starts alike: computed once per size, then copied,
    // since a chunk starts hundreds of models afresh.
    static std::atomic<const std::uint32_t*> fresh[maxCachedSymbols + 1];
    const std::uint32_t* start = symbols <= maxCachedSymbols ? fresh[symbols].load() : nullptr;
    if (start)
        std::memcpy(storage.get(), start, storageSize * sizeof(std::uint32_t));
    else
    {
        totalCount = 0;
        updateCycle = symbols;
        for (unsigned k = 0; k < symbols; ++k)
            symbolCount[k] = 1;
        update();
        if (symbols <= maxCachedSymbols)
        {
            std::uint32_t* made = new std::uint32_t[storageSize];
            std::memcpy(made, storage.get(), storageSize * sizeof(std::uint32_t));
            const std::uint32_t* none = nullptr;
            // Another thread may have made it first; both are equal.
            if (!fresh[symbols].compare_exchange_strong(none, made))
                delete[] made;
        }
    }
    totalCount = symbols;
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
