#include "tin/tiling/PointDistributor.h"

#include "tin/tiling/ReadSpan.h"
#include "tin/tiling/TileGrid.h"
#include "tin/tiling/TilePointStore.h"
#include "tin/tiling/TileQueue.h"
#include "tin/imagery/PointColours.h"
#include "tin/las/LasError.h"
#include "tin/las/LasReader.h"

#include <osg/Notify>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace osgTAVRI
{

namespace
{
// The first and last of `count` read spans that meet [lo, hi]. The spans grow with their
// index, so those that meet are consecutive; the search starts near where [lo, hi] lies.
template <typename SpanOf>
bool meetingRange(unsigned count, double origin, double size, double lo, double hi, SpanOf spanOf,
                  unsigned& first, unsigned& last)
{
    if (count == 0 || !(lo <= hi))
        return false;
    const double guess = std::floor((lo - origin) / size) - 2.0;
    unsigned i = guess > 0.0 ? unsigned(std::min(guess, double(count - 1))) : 0u;
    while (i > 0 && (spanOf(i).getMin() > lo || spanOf(i - 1).meets(lo, hi)))
        --i;
    for (; i < count && !spanOf(i).meets(lo, hi); ++i)
        if (spanOf(i).getMin() > hi)
            return false;
    if (i == count)
        return false;
    first = i;
    while (i + 1 < count && spanOf(i + 1).meets(lo, hi))
        ++i;
    last = i;
    return true;
}

// The read spans among [first, last] that hold v, at most five: the margin is 5 % of a
// tile, so v lies in the span of the tile it falls in and perhaps in one neighbour's; two
// more on each side cover any rounding of the estimate.
template <typename SpanOf>
unsigned spansHolding(double v, double origin, double size, unsigned first, unsigned last, SpanOf spanOf,
                      unsigned* index, double* centre)
{
    const double u = (v - origin) / size;
    if (!(u > double(first) - 3.0 && u < double(last) + 3.0))
        return 0;
    const long long at = (long long)std::floor(u);
    const long long from = std::max<long long>(at - 2, first);
    const long long to = std::min<long long>(at + 2, last);
    unsigned found = 0;
    for (long long i = from; i <= to; ++i)
    {
        const ReadSpan span = spanOf(unsigned(i));
        if (span.holds(v))
        {
            index[found] = unsigned(i);
            centre[found++] = span.getCentre();
        }
    }
    return found;
}
} // namespace

PointDistributor::PointDistributor(const TileGrid& tileGrid, const TileQueue& runTiles,
                                   const PointSelection& pointSelection, TilePointStore& pointStore)
    : grid(tileGrid), tiles(runTiles), selection(pointSelection), store(pointStore)
{
}

bool PointDistributor::touchesRun(const Input& input) const
{
    const std::uint64_t columns = grid.getNumColumns();
    for (std::uint64_t r = input.firstRow; r <= input.lastRow; ++r)
        // Of as many neighbouring tiles as there are shards, one is this run's.
        for (std::uint64_t c = input.firstColumn; c <= input.lastColumn; ++c)
            if (tiles.contains(r * columns + c))
                return true;
    return false;
}

void PointDistributor::readHeaders(const std::vector<std::string>& files)
{
    auto columnSpan = [this](unsigned c) { return ReadSpan(grid.columnMin(c), grid.columnMax(c)); };
    auto rowSpan = [this](unsigned r) { return ReadSpan(grid.rowMin(r), grid.rowMax(r)); };
    for (const std::string& file : files)
    {
        ++counts.files;
        // A file that cannot be opened fails in the reader like any unreadable one.
        std::ifstream stream(file.c_str(), std::ios::in | std::ios::binary);
        try
        {
            LasReader reader(stream, file);
            const LasHeader& header = reader.getHeader();
            Input input{file, 0, 0, 0, 0};
            if (meetingRange(grid.getNumColumns(), grid.columnMin(0), grid.getTileSize(), header.getMinX(),
                             header.getMaxX(), columnSpan, input.firstColumn, input.lastColumn) &&
                meetingRange(grid.getNumRows(), grid.rowMin(0), grid.getTileSize(), header.getMinY(),
                             header.getMaxY(), rowSpan, input.firstRow, input.lastRow) &&
                touchesRun(input))
            {
                ++counts.touching;
                inputs.push_back(input);
            }
        }
        catch (const LasError& error)
        {
            ++counts.unreadable;
            OSG_WARN << error.what() << ", file skipped" << std::endl;
        }
    }
}

void PointDistributor::readPoints()
{
    for (const Input& input : inputs)
        distribute(input);
}

void PointDistributor::expectPoints(const LasHeader& header, const Input& input)
{
    // Only a tile whose read box holds the file's whole extent (four at most) can take all
    // of its points.
    if (input.lastColumn - input.firstColumn > 2 || input.lastRow - input.firstRow > 2)
        return;
    const std::uint64_t thin = std::max<std::uint32_t>(1, selection.thinNth);
    const std::uint64_t most = std::min((header.getPointCount() + thin - 1) / thin, store.getBudget() / sizeof(osg::Vec3d));
    for (unsigned r = input.firstRow; r <= input.lastRow; ++r)
        for (unsigned c = input.firstColumn; c <= input.lastColumn; ++c)
        {
            const ReadSpan x(grid.columnMin(c), grid.columnMax(c)), y(grid.rowMin(r), grid.rowMax(r));
            const std::uint64_t tile = std::uint64_t(r) * grid.getNumColumns() + c;
            if (tiles.contains(tile) && x.holds(header.getMinX()) && x.holds(header.getMaxX()) &&
                y.holds(header.getMinY()) && y.holds(header.getMaxY()))
                store.expect(tile, most);
        }
}

void PointDistributor::distribute(const Input& input)
{
    std::ifstream stream(input.path.c_str(), std::ios::in | std::ios::binary);
    auto columnSpan = [this](unsigned c) { return ReadSpan(grid.columnMin(c), grid.columnMax(c)); };
    auto rowSpan = [this](unsigned r) { return ReadSpan(grid.rowMin(r), grid.rowMax(r)); };
    const double originX = grid.columnMin(0), originY = grid.rowMin(0), size = grid.getTileSize();
    const std::uint64_t columns = grid.getNumColumns();

    store.beginFile();
    if (colours)
        colours->beginFile();
    Counts local;
    try
    {
        LasReader reader(stream, input.path);
        if (colours)
            colours->setFormat(reader.getHeader().getPointFormat(), input.path);
        reader.setFilters(selection.makeFilters());
        reader.setThreads(threads);
        local.read = reader.getHeader().getPointCount();
        expectPoints(reader.getHeader(), input);
        unsigned columnAt[5], rowAt[5];
        double cx[5], cy[5];
        while (reader.readNextPoint())
        {
            ++local.selected;
            const LasPoint& p = reader.getPoint();
            if (colours)
                colours->observe(p);
            const double x = p.getX(), y = p.getY(), z = p.getZ();
            if (!holdsHeight(z))
                continue;
            const unsigned nc =
                spansHolding(x, originX, size, input.firstColumn, input.lastColumn, columnSpan, columnAt, cx);
            if (nc == 0)
                continue;
            const unsigned nr = spansHolding(y, originY, size, input.firstRow, input.lastRow, rowSpan, rowAt, cy);
            bool placed = false;
            for (unsigned i = 0; i < nr; ++i)
                for (unsigned j = 0; j < nc; ++j)
                {
                    const std::uint64_t tile = rowAt[i] * columns + columnAt[j];
                    if (!tiles.contains(tile))
                        continue;
                    store.add(tile, osg::Vec3d(x - cx[j], y - cy[i], z));
                    if (colours)
                        colours->add(tile, p);
                    placed = true;
                }
            local.placed += placed;
        }
    }
    catch (const LasError& error)
    {
        // Like a file skipped before its first point: none of its points count.
        store.dropFile();
        if (colours)
            colours->dropFile();
        OSG_WARN << error.what() << ", file skipped" << std::endl;
        return;
    }
    if (colours)
        colours->endFile();
    counts.read += local.read;
    counts.selected += local.selected;
    counts.placed += local.placed;
}

} // namespace osgTAVRI
