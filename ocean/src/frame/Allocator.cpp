#include "Sea/Allocator.h"

#include <cstdlib>
#include <new>

namespace Sea
{
namespace
{
// Aligned so that the FFT's SIMD code paths apply to every buffer.
const size_t alignment = 64;

class HeapAllocator : public Allocator
{
public:
    void* Allocate(size_t bytes) override
    {
        void* p = nullptr;
        if (posix_memalign(&p, alignment, bytes ? bytes : 1) != 0)
            return nullptr;
        return p;
    }
    void Free(void* pointer) override { std::free(pointer); }
};

// Built in static storage and never destroyed: objects that outlive main (the configuration
// table) still return their memory to it.
Allocator* defaultAllocator()
{
    alignas(HeapAllocator) static unsigned char storage[sizeof(HeapAllocator)];
    static Allocator* allocator = new (storage) HeapAllocator;
    return allocator;
}

Allocator* current = nullptr;
} // namespace

Allocator* Allocator::GetAllocator() { return current ? current : defaultAllocator(); }

void Allocator::SetAllocator(Allocator* allocator) { current = allocator; }

} // namespace Sea
