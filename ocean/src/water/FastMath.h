#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace Sea
{

// Cheap replacements for the library calls of the wave spectra and the frame loop.
class FastMath
{
public:
    static const int expTableSize = 100000;

    // Fills the exponential table once per process.
    static void Initialize();

    // exp(x) from a table of exp(-i / 100000) for x in (-1, 0); computed elsewhere.
    static float Exp(float x)
    {
        int index = int(-x * float(expTableSize));
        if (x < 0.0f && x > -1.0f && index >= 1 && index < expTableSize)
            return expTable[index];
        return std::exp(x);
    }

    // Halving the exponent bits of a float and adding half the bias gives its square root
    // within a few per cent (a linear fit over each octave of the mantissa).
    static float Sqrt(float x)
    {
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof(bits));
        bits = (bits >> 1) + 0x1FC00000u;
        float r;
        std::memcpy(&r, &bits, sizeof(r));
        return r;
    }

    // Sines and cosines of omega[i] * time for n cells. The phase is reduced to [-pi, pi] in
    // double precision (a float time loses short waves within minutes), by the rounding trick
    // of adding and subtracting 1.5 * 2^52; then the Taylor series to the tenth power on
    // [-pi/2, pi/2] in single precision (error below 4e-6). Branch-free, so it vectorises.
    static void SinCos(const float* omega, double time, float* sines, float* cosines, size_t n)
    {
        const double turnsPerSecond = time * 0.15915494309189535;
        const double round = 6755399441055744.0;
        for (size_t i = 0; i < n; ++i)
        {
            double turns = double(omega[i]) * turnsPerSecond;
            sines[i] = float((turns - ((turns + round) - round)) * 6.283185307179586);
        }
        // Folded without branches: sin(pi - a) = sin a and cos(pi - a) = -cos a for a beyond
        // pi / 2, and the signs put back with copysign.
        const float halfPi = 1.5707963f;
        for (size_t i = 0; i < n; ++i)
        {
            float x = sines[i];
            float fold = halfPi - std::fabs(x);
            float y = halfPi - std::fabs(fold);
            float y2 = y * y;
            float s = y * (1.0f + y2 * (-1.0f / 6.0f + y2 * (1.0f / 120.0f + y2 * (-1.0f / 5040.0f +
                                                                                   y2 * (1.0f / 362880.0f -
                                                                                         y2 / 39916800.0f)))));
            float c = 1.0f + y2 * (-0.5f + y2 * (1.0f / 24.0f + y2 * (-1.0f / 720.0f +
                                                                     y2 * (1.0f / 40320.0f - y2 / 3628800.0f))));
            sines[i] = std::copysign(s, x);
            cosines[i] = std::copysign(c, fold);
        }
    }

private:
    static float expTable[expTableSize];
};

} // namespace Sea
