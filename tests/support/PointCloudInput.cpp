#include "tests/support/PointCloudInput.h"

#include "tin/tiling/PointSelection.h"
#include "tin/tiling/ReadSpan.h"
#include "tin/las/LasError.h"
#include "tin/las/LasReader.h"

#include <osg/Notify>

#include <fstream>

namespace tavritest
{

using namespace osgTAVRI;

osg::ref_ptr<osg::Vec3dArray> readTilePoints(const std::vector<std::uint16_t>& returnNumbers,
                                             std::uint32_t thinNth,
                                             const std::vector<std::string>& files,
                                             const osg::BoundingBoxd& bounds)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    const ReadSpan spanX(bounds.xMin(), bounds.xMax());
    const ReadSpan spanY(bounds.yMin(), bounds.yMax());
    const double cx = spanX.getCentre(), cy = spanY.getCentre();
    PointSelection selection;
    selection.returnNumbers = returnNumbers;
    selection.thinNth = thinNth;

    for (const std::string& file : files)
    {
        std::ifstream stream(file.c_str(), std::ios::in | std::ios::binary);
        if (!stream)
        {
            OSG_FATAL << "Could not open file \"" << file << "\"" << std::endl;
            continue;
        }
        const std::size_t before = points->size();
        try
        {
            LasReader reader(stream, file);
            const LasHeader& header = reader.getHeader();
            if (!spanX.meets(header.getMinX(), header.getMaxX()) ||
                !spanY.meets(header.getMinY(), header.getMaxY()))
                continue;

            reader.setFilters(selection.makeFilters());
            while (reader.readNextPoint())
            {
                const LasPoint& p = reader.getPoint();
                const double x = p.getX(), y = p.getY(), z = p.getZ();
                if (spanX.holds(x) && spanY.holds(y) && holdsHeight(z))
                    points->push_back(osg::Vec3d(x - cx, y - cy, z));
            }
        }
        catch (const LasError& error)
        {
            // Skip the whole file, also the points read before the damage showed.
            points->resize(before);
            OSG_WARN << error.what() << ", file skipped" << std::endl;
        }
    }
    return points;
}

} // namespace tavritest
