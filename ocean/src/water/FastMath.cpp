#include "water/FastMath.h"

#include <mutex>

namespace Sea
{

float FastMath::expTable[FastMath::expTableSize];

void FastMath::Initialize()
{
    static std::once_flag filled;
    std::call_once(filled, [] {
        for (int i = 0; i < expTableSize; ++i)
            expTable[i] = float(std::exp(-double(i) / expTableSize));
    });
}

} // namespace Sea
