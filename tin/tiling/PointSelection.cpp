#include "tin/tiling/PointSelection.h"

#include "tin/las/ClassFilter.h"
#include "tin/las/ReturnFilter.h"
#include "tin/las/ThinFilter.h"

namespace osgTAVRI
{

LasFilterList PointSelection::makeFilters() const
{
    LasFilterList filters;
    if (!keepClasses.empty())
        filters.push_back(std::make_shared<ClassFilter>(keepClasses));
    else if (!returnNumbers.empty())
        filters.push_back(std::make_shared<ReturnFilter>(returnNumbers, false));
    if (thinNth > 1)
        filters.push_back(std::make_shared<ThinFilter>(thinNth));
    return filters;
}

std::string PointSelection::describe() const
{
    std::string text;
    if (!keepClasses.empty())
    {
        text = keepClasses.size() == 1 ? "class " : "classes ";
        for (std::size_t i = 0; i < keepClasses.size(); ++i)
            text += (i ? ", " : "") + std::to_string(keepClasses[i]);
    }
    else if (returnNumbers.size() == 1 && returnNumbers[0] == 1)
        text = "first returns";
    else if (returnNumbers.empty())
        text = "all points";
    else
    {
        text = "returns ";
        for (std::size_t i = 0; i < returnNumbers.size(); ++i)
            text += (i ? ", " : "") + std::to_string(returnNumbers[i]);
    }
    if (thinNth > 1)
        text += ", one in " + std::to_string(thinNth);
    return text;
}

} // namespace osgTAVRI
