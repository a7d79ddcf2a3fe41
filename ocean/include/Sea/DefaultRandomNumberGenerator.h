#pragma once

#include "Sea/RandomNumberGenerator.h"

namespace Sea
{

// A 64-bit xorshift generator with a fixed seed, so a sea comes out the same in every run.
class DefaultRandomNumberGenerator : public RandomNumberGenerator
{
public:
    DefaultRandomNumberGenerator() { SetRandomSeed(1); }
    double UniformRandomDouble(double low, double high) override;
    void SetRandomSeed(unsigned int seed) override;

private:
    unsigned long long state = 0;
};

} // namespace Sea
