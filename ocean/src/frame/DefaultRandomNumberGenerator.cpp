#include "Sea/DefaultRandomNumberGenerator.h"

namespace Sea
{

// xorshift64*: fast, and good enough for wave phases and directions.
double DefaultRandomNumberGenerator::UniformRandomDouble(double low, double high)
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    unsigned long long r = state * 0x2545F4914F6CDD1DULL;
    double unit = double(r >> 11) * (1.0 / 9007199254740991.0); // 53 bits, [0, 1]
    return low + (high - low) * unit;
}

void DefaultRandomNumberGenerator::SetRandomSeed(unsigned int seed)
{
    // Spread the seed over the state; the state must never be zero.
    state = (unsigned long long)seed * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL;
    if (state == 0)
        state = 1;
}

} // namespace Sea
