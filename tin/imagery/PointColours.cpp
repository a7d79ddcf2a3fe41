#include "tin/imagery/PointColours.h"

#include "tin/las/LasHeader.h"
#include "tin/las/LasPoint.h"

#include <osg/Notify>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace osgTAVRI
{

namespace
{
// Three 16-bit channels fit exactly in the 53 bits of a double's mantissa.
double pack(const LasPoint& p)
{
    return double(std::uint64_t(p.getRed()) | (std::uint64_t(p.getGreen()) << 16) |
                  (std::uint64_t(p.getBlue()) << 32));
}

bool finite(const osg::Vec3d& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }
} // namespace

osg::Vec4ub PointColours::unpack(const osg::Vec3d& stored, Scale scale)
{
    if (scale == Scale::None)
        return osg::Vec4ub(255, 255, 255, 255);
    const std::uint64_t bits = std::uint64_t(stored.x());
    auto channel = [&](int i) -> unsigned char {
        const unsigned v = unsigned((bits >> (16 * i)) & 0xFFFF);
        return scale == Scale::EightBit ? (unsigned char)(v & 0xFF) : (unsigned char)((v + 128) / 257);
    };
    return osg::Vec4ub(channel(0), channel(1), channel(2), 255);
}

PointColours::PointColours(std::uint64_t memoryBudget, const std::string& folder) : store(memoryBudget, folder) {}

void PointColours::beginFile()
{
    store.beginFile();
    fileMaximum = 0;
    fileHasColour = true;
}

void PointColours::setFormat(unsigned pointFormat, const std::string& file)
{
    fileHasColour = LasHeader::colourOffset(pointFormat) != 0;
    if (!fileHasColour)
        OSG_WARN << "LasReader: " << file << ": point format " << pointFormat
                 << " carries no colour; its points are white" << std::endl;
}

void PointColours::observe(const LasPoint& p)
{
    fileMaximum = std::max({fileMaximum, p.getRed(), p.getGreen(), p.getBlue()});
}

void PointColours::add(std::uint64_t tile, const LasPoint& p)
{
    store.add(tile, osg::Vec3d(pack(p), double(scales.size()), 0.0));
}

void PointColours::endFile()
{
    scales.push_back(!fileHasColour ? Scale::None : fileMaximum < 256 ? Scale::EightBit : Scale::SixteenBit);
}

void PointColours::dropFile()
{
    store.dropFile();
    scales.push_back(Scale::None);
}

PointColours::Taken PointColours::take(std::uint64_t tile, const osg::Vec3dArray& points)
{
    osg::ref_ptr<osg::Vec3dArray> stored = store.take(tile);
    std::vector<std::size_t> order;
    order.reserve(points.size());
    for (std::size_t i = 0; i < points.size() && i < stored->size(); ++i)
        if (finite(points[i]))
            order.push_back(i);
    // The triangulator's order; stable, so of repeated points the first one added gives the colour.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t l, std::size_t r) {
        const osg::Vec3d &a = points[l], &b = points[r];
        if (a.x() != b.x())
            return a.x() < b.x();
        if (a.y() != b.y())
            return a.y() < b.y();
        return a.z() < b.z();
    });
    Taken taken;
    taken.points = new osg::Vec3dArray;
    taken.colours = new osg::Vec4ubArray;
    for (std::size_t k = 0; k < order.size(); ++k)
    {
        const osg::Vec3d& p = points[order[k]];
        if (k > 0)
        {
            const osg::Vec3d& previous = points[order[k - 1]];
            if (previous.x() == p.x() && previous.y() == p.y())
                continue;
        }
        const osg::Vec3d& c = (*stored)[order[k]];
        taken.points->push_back(p);
        const std::size_t file = std::size_t(c.y());
        taken.colours->push_back(unpack(c, file < scales.size() ? scales[file] : Scale::None));
    }
    return taken;
}

void PointColours::attach(osg::Geometry& geometry, const Taken& taken)
{
    const osg::Vec3Array* vertices = dynamic_cast<const osg::Vec3Array*>(geometry.getVertexArray());
    if (!vertices || !taken.points.valid() || taken.points->empty())
        return;
    osg::ref_ptr<osg::Vec4ubArray> colours;
    if (vertices->size() == taken.points->size())
        colours = taken.colours;
    else
    {
        // The points are sorted by x: look outwards from the vertex's x until no nearer point
        // can follow.
        const osg::Vec3dArray& pts = *taken.points;
        colours = new osg::Vec4ubArray;
        colours->reserve(vertices->size());
        for (const osg::Vec3& v : *vertices)
        {
            const auto at = std::lower_bound(pts.begin(), pts.end(), v.x(),
                                             [](const osg::Vec3d& p, double x) { return p.x() < x; });
            std::size_t best = 0;
            double bestSq = HUGE_VAL;
            auto consider = [&](std::size_t i) {
                const double dx = pts[i].x() - v.x(), dy = pts[i].y() - v.y();
                const double sq = dx * dx + dy * dy;
                if (sq < bestSq)
                {
                    bestSq = sq;
                    best = i;
                }
                return dx * dx <= bestSq;
            };
            const std::size_t start = std::size_t(at - pts.begin());
            std::size_t i = start;
            while (i < pts.size() && consider(i))
                ++i;
            i = start;
            while (i > 0 && consider(i - 1))
                --i;
            colours->push_back((*taken.colours)[best]);
        }
    }
    geometry.setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
}

} // namespace osgTAVRI
