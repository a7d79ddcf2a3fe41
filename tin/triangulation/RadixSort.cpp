#include "tin/triangulation/RadixSort.h"

#include "tin/triangulation/HugePages.h"

#include <algorithm>

namespace osgTAVRI
{

void radixSort(std::vector<KeyedIndex>& items)
{
    const unsigned bits = 11, passes = 6;
    const std::size_t buckets = std::size_t(1) << bits;
    const std::uint64_t mask = buckets - 1;
    std::vector<std::size_t> counts(passes * buckets, 0);
    for (const KeyedIndex& item : items)
        for (unsigned p = 0; p < passes; ++p)
            ++counts[p * buckets + ((item.key >> (p * bits)) & mask)];

    std::vector<KeyedIndex> scratch;
    reserveHuge(scratch, items.size());
    scratch.resize(items.size());
    for (unsigned p = 0; p < passes; ++p)
    {
        std::size_t* count = &counts[p * buckets];
        if (std::find(count, count + buckets, items.size()) != count + buckets)
            continue;
        std::size_t at = 0;
        for (std::size_t b = 0; b < buckets; ++b)
        {
            const std::size_t c = count[b];
            count[b] = at;
            at += c;
        }
        for (const KeyedIndex& item : items)
            scratch[count[(item.key >> (p * bits)) & mask]++] = item;
        items.swap(scratch);
    }
}

} // namespace osgTAVRI
