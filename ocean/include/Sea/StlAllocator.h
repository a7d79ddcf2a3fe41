#pragma once

#include "Sea/Allocator.h"

#include <new>

namespace Sea
{

// Lets standard containers take their memory from the library's allocator.
template <class T>
class StlAllocator
{
public:
    using value_type = T;

    StlAllocator() = default;
    template <class U>
    StlAllocator(const StlAllocator<U>&)
    {
    }

    T* allocate(size_t n)
    {
        void* p = Allocator::GetAllocator()->Allocate(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) { Allocator::GetAllocator()->Free(p); }

    template <class U>
    bool operator==(const StlAllocator<U>&) const
    {
        return true;
    }
    template <class U>
    bool operator!=(const StlAllocator<U>&) const
    {
        return false;
    }
};

} // namespace Sea
