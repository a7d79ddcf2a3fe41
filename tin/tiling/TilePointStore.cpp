#include "tin/tiling/TilePointStore.h"

#include "common/TemporaryFiles.h"
#include "tin/triangulation/HugePages.h"

#include <osg/Notify>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include <unistd.h>

namespace osgTAVRI
{

namespace
{
const std::size_t pointBytes = sizeof(osg::Vec3d);
// Blocks grow with their tile up to this many points (1.5 MB), so that a large tile needs
// few of them and a small one wastes little.
const std::uint64_t maxBlockPoints = 1 << 16;
} // namespace

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

void TilePointStore::startBlock(Tile& t, std::uint64_t capacity)
{
    t.blocks.emplace_back();
    reserveHuge(t.blocks.back(), std::size_t(capacity));
}

void TilePointStore::add(std::uint64_t tile, const osg::Vec3d& point)
{
    Tile& t = lookup(tile);
    if (t.generation != generation)
    {
        t.generation = generation;
        t.mark = t.spilled + t.held;
        touched.push_back(&t);
    }
    if (t.blocks.empty() || t.blocks.back().size() == t.blocks.back().capacity())
        startBlock(t, std::min(std::max<std::uint64_t>(64, t.spilled + t.held), maxBlockPoints));
    t.blocks.back().push_back(point);
    ++t.held;
    memoryBytes += pointBytes;
    if (memoryBytes > budget)
        spill();
}

void TilePointStore::expect(std::uint64_t tile, std::uint64_t points)
{
    Tile& t = lookup(tile);
    if (!t.blocks.empty() && t.blocks.back().capacity() - t.blocks.back().size() >= points)
        return;
    if (!t.blocks.empty() && t.blocks.back().empty())
        t.blocks.pop_back();
    try
    {
        startBlock(t, points);
    }
    catch (const std::bad_alloc&)
    {
        // Only a hint: the points then come in blocks of the usual size.
    }
}

void TilePointStore::keepFirst(Tile& t, std::uint64_t points)
{
    std::uint64_t kept = 0;
    std::size_t n = 0;
    for (; n < t.blocks.size() && kept < points; ++n)
    {
        if (t.blocks[n].size() > points - kept)
            t.blocks[n].resize(std::size_t(points - kept));
        kept += t.blocks[n].size();
    }
    t.blocks.resize(n);
    t.held = kept;
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
        const std::uint64_t before = t->held;
        if (t->mark >= t->spilled)
            keepFirst(*t, t->mark - t->spilled);
        else
        {
            keepFirst(*t, 0);
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
        memoryBytes -= (before - t->held) * pointBytes;
    }
    touched.clear();
}

std::uint64_t TilePointStore::count(std::uint64_t tile) const
{
    const auto it = tiles.find(tile);
    return it == tiles.end() ? 0 : it->second.spilled + it->second.held;
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
        if (t.held == 0)
            continue;
        const std::uint64_t offset = fileEnd;
        for (const Block& block : t.blocks)
        {
            const std::size_t bytes = block.size() * pointBytes;
            if (!writeOut(reinterpret_cast<const char*>(block.data()), bytes))
                return;
            fileEnd += bytes;
        }
        t.chunks.push_back({offset, t.held});
        t.spilled += t.held;
        memoryBytes -= t.held * pointBytes;
        t.held = 0;
        std::vector<Block>().swap(t.blocks);
    }
}

void TilePointStore::drop(std::uint64_t tile)
{
    const auto it = tiles.find(tile);
    if (it == tiles.end())
        return;
    std::vector<Block>().swap(it->second.blocks);
    std::vector<Chunk>().swap(it->second.chunks);
    it->second.spilled = 0;
    it->second.held = 0;
}

osg::ref_ptr<osg::Vec3dArray> TilePointStore::take(std::uint64_t tile)
{
    osg::ref_ptr<osg::Vec3dArray> points = new osg::Vec3dArray;
    const auto it = tiles.find(tile);
    if (it == tiles.end())
        return points;
    Tile& t = it->second;
    std::vector<osg::Vec3d>& all = points->asVector();
    if (t.chunks.empty() && t.blocks.size() == 1)
    {
        all.swap(t.blocks.front());
        drop(tile);
        return points;
    }
    reserveHuge(all, std::size_t(t.spilled + t.held));
    all.resize(std::size_t(t.spilled));
    char* target = reinterpret_cast<char*>(all.data());
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
    for (Block& block : t.blocks)
    {
        all.insert(all.end(), block.begin(), block.end());
        Block().swap(block);
    }
    drop(tile);
    return points;
}

} // namespace osgTAVRI
