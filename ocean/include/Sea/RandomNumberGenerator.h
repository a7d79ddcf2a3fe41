#pragma once

#include "Sea/MemObject.h"

namespace Sea
{

// Source of the random numbers of the wave models; replace it to vary or repeat a sea.
class RandomNumberGenerator : public MemObject
{
public:
    // Uniform in [low, high].
    virtual double UniformRandomDouble(double low, double high) = 0;
    virtual void SetRandomSeed(unsigned int seed) = 0;
};

} // namespace Sea
