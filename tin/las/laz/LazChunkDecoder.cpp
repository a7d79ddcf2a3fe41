#include "tin/las/laz/LazChunkDecoder.h"

#include "tin/las/laz/LayeredChunkDecoder.h"
#include "tin/las/laz/PointwiseChunkDecoder.h"

namespace osgTAVRI
{

std::unique_ptr<LazChunkDecoder> LazChunkDecoder::create(const LazItems& items)
{
    if (items.isLayered())
        return std::unique_ptr<LazChunkDecoder>(new LayeredChunkDecoder(items));
    return std::unique_ptr<LazChunkDecoder>(new PointwiseChunkDecoder(items));
}

} // namespace osgTAVRI
