#include "tin/las/ReturnFilter.h"

#include "tin/las/LasPoint.h"

#include <algorithm>

namespace osgTAVRI
{

ReturnFilter::ReturnFilter(const std::vector<std::uint16_t>& returnNumbers, bool last)
    : returns(returnNumbers), lastOnly(last)
{
}

bool ReturnFilter::filter(const LasPoint& point)
{
    if (lastOnly)
        return point.getReturnNumber() == point.getNumberOfReturns();
    return std::find(returns.begin(), returns.end(), point.getReturnNumber()) != returns.end();
}

} // namespace osgTAVRI
