#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace osgTAVRI
{

// An index with the key it is ordered by.
struct KeyedIndex
{
    std::uint64_t key;
    std::uint32_t index;
};

// Orders by key with a stable least-significant-digit radix sort, 11 bits a pass; a pass in
// which every key has the same digit is skipped. Equal keys keep their order, so items made
// in index order come out ordered by key, then index. Linear where a comparison sort of a
// million keys spends most of its time on mispredicted branches.
void radixSort(std::vector<KeyedIndex>& items);

// The bits of a double as an unsigned key of the same order (NaN aside); -0 and +0, which
// compare equal, get one key.
inline std::uint64_t orderedKey(double value)
{
    const double v = value == 0.0 ? 0.0 : value;
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return (u >> 63) ? ~u : u | (std::uint64_t(1) << 63);
}

} // namespace osgTAVRI
