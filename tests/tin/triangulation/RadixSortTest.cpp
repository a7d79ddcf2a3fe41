#include "tin/triangulation/RadixSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using osgTAVRI::KeyedIndex;

// Keys made from doubles order as the doubles do, -0 and +0 alike; the sort gives what a
// stable comparison sort gives, for keys that differ only in their lowest or highest bits,
// many repeats, and all keys equal (every pass skipped).
TEST(RadixSort, OrdersLikeAStableComparisonSortOfTheDoubles)
{
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> u(-1e3, 1e3);
    std::vector<double> values{0.0, -0.0, 1e-310, -1e-310, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 1e300, -1e300};
    for (int i = 0; i < 30000; ++i)
    {
        const double v = u(random);
        values.push_back(i % 3 == 0 ? std::round(v) : v);
        values.push_back(std::nextafter(v, 2e3));
    }
    auto keyed = [](const std::vector<double>& of) {
        std::vector<KeyedIndex> items;
        for (std::size_t i = 0; i < of.size(); ++i)
            items.push_back(KeyedIndex{osgTAVRI::orderedKey(of[i]), std::uint32_t(i)});
        return items;
    };
    for (const std::vector<double>& set : {values, std::vector<double>(5000, 42.0), std::vector<double>()})
    {
        std::vector<KeyedIndex> ours = keyed(set);
        osgTAVRI::radixSort(ours);
        std::vector<std::uint32_t> expected(set.size());
        for (std::uint32_t i = 0; i < expected.size(); ++i)
            expected[i] = i;
        std::stable_sort(expected.begin(), expected.end(),
                         [&set](std::uint32_t l, std::uint32_t r) { return set[l] < set[r]; });
        ASSERT_EQ(ours.size(), expected.size());
        for (std::size_t k = 0; k < ours.size(); ++k)
            ASSERT_EQ(ours[k].index, expected[k]) << "place " << k << " of " << set.size();
    }
}
