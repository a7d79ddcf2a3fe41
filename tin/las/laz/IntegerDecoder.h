#pragma once

#include "tin/las/laz/ArithmeticDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace osgTAVRI
{

// Decodes integers coded as a correction of a prediction: first the number k of bits the
// correction needs (one model per context), then the correction itself within its k-bit
// band, its top `bitsHigh` bits modelled and the rest raw. Results of fewer than 32 bits
// wrap into [0, 2^bits).
class IntegerDecoder
{
public:
    IntegerDecoder(unsigned bits = 16, unsigned contexts = 1, unsigned bitsHigh = 8);

    // Fresh models, as at the start of a chunk. A model is reset lazily, on its first use,
    // so that a chunk pays only for the models it needs.
    void init() { ++epoch; }

    std::int32_t decompress(ArithmeticDecoder& dec, std::int32_t pred, unsigned context = 0)
    {
        const std::uint32_t real = std::uint32_t(pred) + std::uint32_t(readCorrector(dec, context));
        return std::int32_t(real & mask);
    }

    // The bit count k of the last correction: the context of the next value.
    unsigned getK() const { return k; }

private:
    struct Model
    {
        std::unique_ptr<ArithmeticModel> model;
        unsigned symbols = 2;
        std::uint32_t epoch = 0;
    };

    ArithmeticModel& ready(Model& m)
    {
        if (m.epoch != epoch)
        {
            if (!m.model)
                m.model.reset(new ArithmeticModel(m.symbols));
            else
                m.model->init();
            m.epoch = epoch;
        }
        return *m.model;
    }

    std::int32_t readCorrector(ArithmeticDecoder& dec, unsigned context)
    {
        k = dec.decodeSymbol(ready(bitModels[context]));
        if (k == 0)
        {
            if (zeroEpoch != epoch)
            {
                correctorZero.init();
                zeroEpoch = epoch;
            }
            return std::int32_t(dec.decodeBit(correctorZero));
        }
        if (k >= 32)
            return corrMin;
        std::uint32_t c = dec.decodeSymbol(ready(correctors[k - 1]));
        if (k > bitsHigh)
        {
            const unsigned low = k - bitsHigh;
            c = (c << low) | (dec.readBits(low) & ((1u << low) - 1));
        }
        // Band k holds the corrections [-(2^k - 1), -2^(k-1)] and [2^(k-1) + 1, 2^k].
        if (c >= (1u << (k - 1)))
            return std::int32_t(c + 1);
        return std::int32_t(c - std::uint32_t((std::uint64_t(1) << k) - 1));
    }

    unsigned bitsHigh;
    std::uint32_t mask;
    std::int32_t corrMin;
    unsigned k = 0;

    std::vector<Model> bitModels;   // per context: k
    std::vector<Model> correctors;  // per k >= 1
    ArithmeticBitModel correctorZero;  // k = 0
    std::uint32_t epoch = 1;
    std::uint32_t zeroEpoch = 0;
};

} // namespace osgTAVRI
