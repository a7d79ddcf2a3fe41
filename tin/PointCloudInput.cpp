#include "tin/PointCloudInput.h"

#include "tin/NotifyLock.h"
#include "tin/las/LasError.h"
#include "tin/las/LasReader.h"
#include "tin/las/ReturnFilter.h"
#include "tin/las/ThinFilter.h"

#include <OpenThreads/ScopedLock>
#include <osg/Notify>

#include <algorithm>
#include <fstream>

namespace osgTAVRI
{

namespace
{
bool overlaps(double minA, double maxA, double minB, double maxB)
{
    return std::max(minA, minB) <= std::min(maxA, maxB);
}
} // namespace

osg::ref_ptr<osg::Vec3dArray> readTilePoints(const std::vector<std::uint16_t>& returnNumbers,
                                             std::uint32_t thinNth,
                                             const std::vector<std::string>& files,
                                             const osg::BoundingBoxd& bounds)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;

    const double mx = 0.05 * (bounds.xMax() - bounds.xMin());
    const double my = 0.05 * (bounds.yMax() - bounds.yMin());
    const double xMin = bounds.xMin() - mx, xMax = bounds.xMax() + mx;
    const double yMin = bounds.yMin() - my, yMax = bounds.yMax() + my;
    const double zMin = -10000.0, zMax = 10000.0;
    const double cx = (bounds.xMin() + bounds.xMax()) / 2.0;
    const double cy = (bounds.yMin() + bounds.yMax()) / 2.0;

    for (const std::string& file : files)
    {
        std::ifstream stream(file.c_str(), std::ios::in | std::ios::binary);
        if (!stream)
        {
            OpenThreads::ScopedLock<OpenThreads::Mutex> guard(notifyMutex());
            osg::notify(osg::FATAL) << "Could not open file \"" << file << "\"" << std::endl;
            continue;
        }
        const std::size_t before = points->size();
        try
        {
            LasReader reader(stream, file);
            const LasHeader& header = reader.getHeader();
            if (!overlaps(header.getMinX(), header.getMaxX(), xMin, xMax) ||
                !overlaps(header.getMinY(), header.getMaxY(), yMin, yMax) ||
                !overlaps(-10000.0, 10000.0, zMin, zMax))
                continue;

            LasFilterList filters;
            if (!returnNumbers.empty())
                filters.push_back(std::make_shared<ReturnFilter>(returnNumbers, false));
            if (thinNth > 1)
                filters.push_back(std::make_shared<ThinFilter>(thinNth));
            reader.setFilters(filters);

            while (reader.readNextPoint())
            {
                const LasPoint& p = reader.getPoint();
                const double x = p.getX(), y = p.getY(), z = p.getZ();
                if (x >= xMin && x <= xMax && y >= yMin && y <= yMax && z >= zMin && z <= zMax)
                    points->push_back(osg::Vec3d(x - cx, y - cy, z));
            }
        }
        catch (const LasError& error)
        {
            // Skip the whole file, also the points read before the damage showed.
            points->resize(before);
            OpenThreads::ScopedLock<OpenThreads::Mutex> guard(notifyMutex());
            osg::notify(osg::WARN) << error.what() << ", file skipped" << std::endl;
        }
    }
    return points;
}

} // namespace osgTAVRI
