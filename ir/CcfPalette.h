#pragma once
// The 256-colour palette of colour CCF files: a button's text colour and each pixel of
// a one-byte-per-pixel bitmap in a colour file are indexes into it. Grey files do not
// use it; their four grey levels stay 85 x L (see KeyBitmap.h).

#include <cstdint>

namespace corvalin
{

// The colour of palette index `index` as 0x00RRGGBB.
uint32_t CcfPaletteRgb(uint8_t index);

} // namespace corvalin
