#pragma once

#include "Sea/Allocator.h"

#include <new>

namespace Sea
{

// Base of every object of the library: `new` takes its memory from the process-wide allocator
// and `delete` runs the virtual destructor and gives the memory back to it.
class MemObject
{
public:
    virtual ~MemObject() = default;

    static void* operator new(size_t bytes)
    {
        void* p = Allocator::GetAllocator()->Allocate(bytes);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    static void* operator new(size_t bytes, const std::nothrow_t&) noexcept
    {
        return Allocator::GetAllocator()->Allocate(bytes);
    }
    static void operator delete(void* p) noexcept
    {
        if (p)
            Allocator::GetAllocator()->Free(p);
    }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
};

} // namespace Sea
