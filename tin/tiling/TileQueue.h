#pragma once

#include <atomic>
#include <cstdint>

namespace osgTAVRI
{

// The tiles of one run, handed out one at a time to whichever worker asks next. A run with
// --shard K/N holds the tiles whose index i has i mod N = K - 1; nothing is stored per tile.
class TileQueue
{
public:
    TileQueue(std::uint64_t numTiles, unsigned shardIndex = 1, unsigned shardCount = 1)
        : total(numTiles), first(shardIndex - 1), step(shardCount)
    {
    }

    std::uint64_t size() const { return total > first ? (total - first + step - 1) / step : 0; }
    bool contains(std::uint64_t index) const { return index < total && index % step == first; }

    // The next tile nobody has taken yet; false when all are taken.
    bool next(std::uint64_t& index)
    {
        const std::uint64_t k = taken++;
        if (k >= size())
            return false;
        index = first + k * step;
        return true;
    }

private:
    std::uint64_t total;
    std::uint64_t first;
    std::uint64_t step;
    std::atomic<std::uint64_t> taken{0};
};

} // namespace osgTAVRI
