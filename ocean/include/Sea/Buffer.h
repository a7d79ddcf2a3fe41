#pragma once

#include "Sea/Allocator.h"

#include <cstring>
#include <type_traits>

namespace Sea
{

// A fixed-size array of plain values from the library's allocator. Allocate returns false
// (and leaves the buffer empty) when the memory cannot be had.
template <class T>
class Buffer
{
    static_assert(std::is_trivially_copyable<T>::value, "Buffer holds plain values only");

public:
    Buffer() = default;
    ~Buffer() { Release(); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    bool Allocate(size_t count)
    {
        Release();
        if (count == 0)
            return true;
        data = static_cast<T*>(Allocator::GetAllocator()->Allocate(count * sizeof(T)));
        if (!data)
            return false;
        size = count;
        std::memset(static_cast<void*>(data), 0, count * sizeof(T));
        return true;
    }
    void Release()
    {
        if (data)
            Allocator::GetAllocator()->Free(data);
        data = nullptr;
        size = 0;
    }

    T* Data() { return data; }
    const T* Data() const { return data; }
    size_t Size() const { return size; }
    bool Empty() const { return data == nullptr; }
    T& operator[](size_t i) { return data[i]; }
    const T& operator[](size_t i) const { return data[i]; }

private:
    T* data = nullptr;
    size_t size = 0;
};

} // namespace Sea
