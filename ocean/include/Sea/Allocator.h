#pragma once

#include <cstddef>

namespace Sea
{

// The one place where the library gets and returns memory. An application may install its
// own before it creates the first object of the library; objects and buffers remember
// nothing about where they came from, so the allocator must not change while any exist.
class Allocator
{
public:
    virtual ~Allocator() = default;
    virtual void* Allocate(size_t bytes) = 0;
    virtual void Free(void* pointer) = 0;

    static Allocator* GetAllocator();
    // Null restores the default heap allocator.
    static void SetAllocator(Allocator* allocator);
};

} // namespace Sea
