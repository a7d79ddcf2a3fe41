#pragma once

#include "tin/las/LasFilter.h"

#include <cstdint>
#include <vector>

namespace osgTAVRI
{

// Keeps points whose return number is in a list. With `lastOnly` the list is ignored
// and only last returns pass (return number equal to the number of returns).
class ReturnFilter : public LasFilter
{
public:
    ReturnFilter(const std::vector<std::uint16_t>& returnNumbers, bool lastOnly);
    bool filter(const LasPoint& point) override;

private:
    std::vector<std::uint16_t> returns;
    bool lastOnly;
};

} // namespace osgTAVRI
