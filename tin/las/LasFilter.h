#pragma once

#include <memory>
#include <vector>

namespace osgTAVRI
{

class LasPoint;

// A stage that decides whether the reader yields a point. Filters run in list order
// and a point must pass all of them; a stateful filter sees only the points that
// passed the filters before it.
class LasFilter
{
public:
    virtual ~LasFilter() = default;
    virtual bool filter(const LasPoint& point) = 0;
};

using LasFilterList = std::vector<std::shared_ptr<LasFilter>>;

} // namespace osgTAVRI
