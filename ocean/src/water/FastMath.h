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

    // Sine and cosine of a phase of any size: reduced to [-pi, pi] in double precision, then
    // the Taylor series to the tenth power in single precision (error below 4e-6).
    static void SinCos(double phase, float& s, float& c)
    {
        const double invTwoPi = 0.15915494309189535;
        double turns = phase * invTwoPi;
        float x = float((turns - std::nearbyint(turns)) * 6.283185307179586);
        // Fold into [-pi/2, pi/2] for the polynomials: sin(pi - x) = sin x, cos(pi - x) = -cos x.
        float sign = 1.0f;
        const float halfPi = 1.5707963f, pi = 3.14159265f;
        if (x > halfPi)
        {
            x = pi - x;
            sign = -1.0f;
        }
        else if (x < -halfPi)
        {
            x = -pi - x;
            sign = -1.0f;
        }
        float x2 = x * x;
        s = x * (1.0f + x2 * (-1.0f / 6.0f + x2 * (1.0f / 120.0f + x2 * (-1.0f / 5040.0f +
                                                                     x2 * (1.0f / 362880.0f - x2 / 39916800.0f)))));
        c = sign * (1.0f + x2 * (-0.5f + x2 * (1.0f / 24.0f + x2 * (-1.0f / 720.0f +
                                                                   x2 * (1.0f / 40320.0f - x2 / 3628800.0f)))));
    }

private:
    static float expTable[expTableSize];
};

} // namespace Sea
