#pragma once

#include "tin/las/LasFilter.h"

#include <bitset>
#include <cstdint>
#include <vector>

namespace osgTAVRI
{

// Keeps points whose classification is one of a list (ground 2 and water 9, say), whatever
// their return number.
class ClassFilter : public LasFilter
{
public:
    explicit ClassFilter(const std::vector<std::uint8_t>& classes);
    bool filter(const LasPoint& point) override;

private:
    std::bitset<256> keep;
};

} // namespace osgTAVRI
