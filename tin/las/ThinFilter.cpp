#include "tin/las/ThinFilter.h"

namespace osgTAVRI
{

ThinFilter::ThinFilter(std::uint32_t n) : nth(n) {}

bool ThinFilter::filter(const LasPoint&)
{
    if (nth <= 1)
        return true;
    const bool keep = seen == 0;
    seen = (seen + 1) % nth;
    return keep;
}

} // namespace osgTAVRI
