#pragma once
// The 444-byte firmware image header, de-scrambled, and typed access to its fields.
//
//   offset  width       field
//   0       u32 LE      image tag: top byte (file byte 3) must be 0xAB
//   4       u32 LE      hardware code
//   8       36 bytes    image name, NUL-terminated
//   44      50 x u32    parameter identifiers, list ended by 0xFFFFFFFF
//   244     50 x u32    parameter values, value i belongs to identifier i

#include "image/ByteOrder.h"

#include <array>
#include <cstdint>
#include <string>

namespace corvalin
{

constexpr std::size_t kHeaderSize = 444;
constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kTagOffset = 0;
constexpr std::size_t kHardwareCodeOffset = 4;
constexpr std::size_t kNameOffset = 8;
constexpr std::size_t kNameSize = 36;
constexpr std::size_t kParamIdOffset = 44;
constexpr std::size_t kParamValueOffset = 244;
constexpr int kParamSlots = 50;
constexpr uint8_t kImageTagTopByte = 0xAB;
constexpr uint32_t kParamTerminator = 0xFFFFFFFFu;

using ImageHeader = std::array<uint8_t, kHeaderSize>;

inline uint32_t GetImageTag(const ImageHeader& h)
{
    return ReadLe32(&h[kTagOffset]);
}
inline uint32_t GetHardwareCode(const ImageHeader& h)
{
    return ReadLe32(&h[kHardwareCodeOffset]);
}

inline uint32_t GetParamId(const ImageHeader& h, int slot)
{
    return ReadLe32(&h[kParamIdOffset + 4 * std::size_t(slot)]);
}

inline uint32_t GetParamValue(const ImageHeader& h, int slot)
{
    return ReadLe32(&h[kParamValueOffset + 4 * std::size_t(slot)]);
}

inline void SetParamId(ImageHeader& h, int slot, uint32_t id)
{
    WriteLe32(&h[kParamIdOffset + 4 * std::size_t(slot)], id);
}

inline void SetParamValue(ImageHeader& h, int slot, uint32_t value)
{
    WriteLe32(&h[kParamValueOffset + 4 * std::size_t(slot)], value);
}

// The image name up to its NUL, never reading past the 36-byte field.
std::string GetImageName(const ImageHeader& h);

} // namespace corvalin
