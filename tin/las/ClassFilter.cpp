#include "tin/las/ClassFilter.h"

#include "tin/las/LasPoint.h"

namespace osgTAVRI
{

ClassFilter::ClassFilter(const std::vector<std::uint8_t>& classes)
{
    for (std::uint8_t c : classes)
        keep.set(c);
}

bool ClassFilter::filter(const LasPoint& point) { return keep.test(point.getClassification()); }

} // namespace osgTAVRI
