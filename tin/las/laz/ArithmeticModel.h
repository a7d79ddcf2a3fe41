#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace osgTAVRI
{

// Adaptive frequency model of an arithmetic-coded alphabet. Counts are rescaled every
// `updateCycle` symbols (the cycle grows by 5/4 up to a bound), and a lookup
// table on the top bits of the scaled value narrows the symbol search for larger alphabets.
class ArithmeticModel
{
public:
    static const unsigned lengthShift = 15;
    static const unsigned maxCount = 1u << lengthShift;
    static const unsigned maxCachedSymbols = 1024;

    explicit ArithmeticModel(unsigned symbols = 2);

    // Back to the state of a fresh model: every symbol counted once.
    void init();
    void update();

    unsigned getSymbols() const { return symbols; }

    // The decoder works on these directly.
    std::uint32_t* distribution;
    std::uint32_t* symbolCount;
    std::uint32_t* decoderTable;
    unsigned symbols;
    unsigned lastSymbol;
    unsigned tableSize;
    unsigned tableShift;
    unsigned totalCount = 0;
    unsigned updateCycle = 0;
    unsigned symbolsUntilUpdate = 0;

    ArithmeticModel(const ArithmeticModel& other);
    ArithmeticModel& operator=(const ArithmeticModel& other) = delete;

private:
    // Left uninitialised until init() fills it.
    std::unique_ptr<std::uint32_t[]> storage;
    std::size_t storageSize;
    void layOut();
};

// Adaptive model of a binary decision: the probability of 0 in 13 bits.
class ArithmeticBitModel
{
public:
    static const unsigned lengthShift = 13;
    static const unsigned maxCount = 1u << lengthShift;

    ArithmeticBitModel() { init(); }

    void init()
    {
        bit0Count = 1;
        bitCount = 2;
        bit0Prob = 1u << (lengthShift - 1);
        updateCycle = bitsUntilUpdate = 4;
    }

    void update();

    unsigned bit0Prob;
    unsigned bit0Count;
    unsigned bitCount;
    unsigned updateCycle;
    unsigned bitsUntilUpdate;
};

// Models chosen by a context value and made on first use, as most contexts never occur.
// `init()` resets them all at the start of a chunk, lazily: a model is reset when next used.
class ArithmeticModelSet
{
public:
    ArithmeticModelSet(unsigned count, unsigned modelSymbols) : slots(count), symbols(modelSymbols) {}

    void init() { ++epoch; }

    ArithmeticModel& get(unsigned index)
    {
        Slot& slot = slots[index];
        if (!slot.model)
            slot.model.reset(new ArithmeticModel(symbols));
        else if (slot.epoch != epoch)
            slot.model->init();
        slot.epoch = epoch;
        return *slot.model;
    }

private:
    struct Slot
    {
        std::unique_ptr<ArithmeticModel> model;
        std::uint32_t epoch = 0;
    };
    std::vector<Slot> slots;
    unsigned symbols;
    std::uint32_t epoch = 1;
};

} // namespace osgTAVRI
