#include "tin/tiling/TilePointStore.h"

#include "common/TemporaryFiles.h"

#include <osg/Notify>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <unistd.h>

namespace osgTAVRI
{

namespace
{
const std::size_t pointBytes = sizeof(osg::Vec3d);
}

TilePointStore::TilePointStore(std::uint64_t memoryBudget, const std::string& where)
    : budget(memoryBudget), folder(where)
{
}

TilePointStore::~TilePointStore()
{
    if (spillFile >= 0)
    {
        ::close(spillFile);
        TemporaryFiles::discard(spillPath);
    }
}

TilePointStore::Tile& TilePointStore::lookup(std::uint64_t tile)
{
    for (const Recent& r : recent)
        if (r.tile == tile)
            return *r.entry;
    Tile& entry = tiles[tile];
    recent[recentNext] = {tile, &entry};
    recentNext = (recentNext + 1) % 4;
    return entry;
}

void TilePointStore::add(std::uint64_t tile, const osg::Vec3d& point)
{
    Tile& t = lookup(tile);
    if (t.generation != generation)
    {
        t.generation = generation;
        t.mark = t.spilled + t.points.size();
        touched.push_back(&t);
    }
    if (t.points.size() < t.points.capacity())
    {
        t.points.push_back(point);
        return;
    }
    // Growing by hand keeps the count of reserved bytes exact.
    const std::size_t before = t.points.capacity();
    t.points.reserve(before == 0 ? 64 : 2 * before);
    memoryBytes += (t.points.capacity() - before) * pointBytes;
    t.points.push_back(point);
    if (memoryBytes > budget)
        spill();
}

void TilePointStore::beginFile()
{
    ++generation;
    touched.clear();
}

void TilePointStore::dropFile()
{
    for (Tile* t : touched)
    {
        if (t->mark >= t->spilled)
        {
            t->points.resize(t->mark - t->spilled);
            continue;
        }
        t->points.clear();
        std::uint64_t kept = 0;
        std::size_t n = 0;
        for (; n < t->chunks.size() && kept < t->mark; ++n)
        {
            t->chunks[n].count = std::min(t->chunks[n].count, t->mark - kept);
            kept += t->chunks[n].count;
        }
        t->chunks.resize(n);
        t->spilled = kept;
    }
    touched.clear();
}

std::uint64_t TilePointStore::count(std::uint64_t tile) const
{
    const auto it = tiles.find(tile);
    return it == tiles.end() ? 0 : it->second.spilled + it->second.points.size();
}

void TilePointStore::giveUpSpilling(const std::string& reason)
{
    spillFailed = true;
    OSG_WARN << "tin: could not move points to the temporary file \"" << spillPath
             << "\" (" << reason << "); the rest stay in memory" << std::endl;
}

bool TilePointStore::writeOut(const char* data, std::size_t bytes)
{
    std::uint64_t at = fileEnd;
    while (bytes > 0)
    {
        const ssize_t n = ::pwrite(spillFile, data, bytes, off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            giveUpSpilling(n < 0 ? std::strerror(errno) : "nothing written");
            return false;
        }
        data += n;
        bytes -= std::size_t(n);
        at += std::uint64_t(n);
    }
    return true;
}

void TilePointStore::spill()
{
    if (spillFailed)
        return;
    if (spillFile < 0)
    {
        const std::string prefix = (folder.empty() ? std::string() : folder + "/") + ".tin-";
        spillFile = TemporaryFiles::create(prefix, ".points", spillPath);
        if (spillFile < 0)
        {
            spillPath = prefix + "*.points";
            giveUpSpilling(std::strerror(errno));
            return;
        }
    }
    for (auto& entry : tiles)
    {
        Tile& t = entry.second;
        if (t.points.empty())
            continue;
        const std::size_t bytes = t.points.size() * pointBytes;
        if (!writeOut(reinterpret_cast<const char*>(t.points.data()), bytes))
            return;
        t.chunks.push_back({fileEnd, t.points.size()});
        fileEnd += bytes;
        t.spilled += t.points.size();
        memoryBytes -= t.points.capacity() * pointBytes;
        std::vector<osg::Vec3d>().swap(t.points);
    }
}

void TilePointStore::drop(std::uint64_t tile)
{
    const auto it = tiles.find(tile);
    if (it == tiles.end())
        return;
    std::vector<osg::Vec3d>().swap(it->second.points);
    std::vector<Chunk>().swap(it->second.chunks);
    it->second.spilled = 0;
}

osg::ref_ptr<osg::Vec3dArray> TilePointStore::take(std::uint64_t tile)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    const auto it = tiles.find(tile);
    if (it == tiles.end())
        return points;
    Tile& t = it->second;
    points->resize(t.spilled + t.points.size());
    char* target = reinterpret_cast<char*>(points->asVector().data());
    for (const Chunk& chunk : t.chunks)
    {
        std::size_t bytes = chunk.count * pointBytes;
        std::uint64_t at = chunk.offset;
        while (bytes > 0)
        {
            const ssize_t n = ::pread(spillFile, target, bytes, off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw std::runtime_error("could not read its points back from \"" + spillPath + "\" (" +
                                         (n < 0 ? std::strerror(errno) : "file too short") + ")");
            target += n;
            bytes -= std::size_t(n);
            at += std::uint64_t(n);
        }
    }
    if (!t.points.empty())
        std::memcpy(target, t.points.data(), t.points.size() * pointBytes);
    drop(tile);
    return points;
}

} // namespace osgTAVRI
