#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <sys/mman.h>

namespace osgTAVRI
{

// Asks the kernel to back the 2 MB-aligned inside of a large buffer with huge pages before
// it is first touched. A tile of a million points touches a few hundred MB in arrays it
// reaches into at random; with 4 KB pages their page faults and TLB misses cost about a
// tenth of its time. Only a hint: where transparent huge pages are off it changes nothing.
inline void adviseHugePages(const void* data, std::size_t bytes)
{
    const std::uintptr_t huge = std::uintptr_t(1) << 21;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// reserve() with that advice for the new room.
template <typename T>
void reserveHuge(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    adviseHugePages(v.data(), v.capacity() * sizeof(T));
}

} // namespace osgTAVRI
