#pragma once
// Reading and writing fixed-width integers at a byte position, in either byte order.
// The image header and the wire frames are little-endian; CCF files are big-endian.

#include <cstddef>
#include <cstdint>

namespace corvalin
{

inline uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint16_t ReadLe16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

inline void WriteLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline void WriteLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline uint32_t ReadBe32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline uint16_t ReadBe16(const uint8_t* p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

} // namespace corvalin
