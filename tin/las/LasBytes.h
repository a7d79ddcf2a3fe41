#pragma once

#include <cstdint>
#include <cstring>

namespace osgTAVRI
{

// LAS stores little-endian values at arbitrary offsets; memcpy keeps the loads aligned-safe.
namespace LasBytes
{

inline std::uint16_t u16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

inline std::uint32_t u32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

inline std::int32_t i32(const unsigned char* p) { return std::int32_t(u32(p)); }

inline std::uint64_t u64(const unsigned char* p)
{
    return std::uint64_t(u32(p)) | (std::uint64_t(u32(p + 4)) << 32);
}

inline double f64(const unsigned char* p)
{
    std::uint64_t bits = u64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void put16(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void put32(unsigned char* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

inline void put64(unsigned char* p, std::uint64_t v)
{
    put32(p, std::uint32_t(v));
    put32(p + 4, std::uint32_t(v >> 32));
}

} // namespace LasBytes
} // namespace osgTAVRI
