#pragma once
// Turns the pixel data of a CCF button's bitmap into a grey image the key buttons paint.
//
// The flags word selects the form, tested in this order:
//   bit 0x0100 set          8-bit grey: one byte per pixel, rows of w rounded up to 8 bytes
//   bit 0x0001 clear        1-bit: one continuous bit stream, pixel n = bit n%8 of byte n/8
//                           (least significant bit first), 1 white, 0 black
//   bits 0x0001 and 0x0080  run-length: a byte with bit 7 set is a run of
//                           ((b >> 2) & 0x1F) + 4 pixels of level b & 3; otherwise three
//                           pixels of levels (b >> 4) & 3, (b >> 2) & 3, b & 3
//   bit 0x0001 only         2-bit: four pixels a byte, leftmost in bits 7-6, rows of w
//                           rounded up to 8 pixels
// A 2-bit level L is drawn as grey 85 * L (0, 85, 170, 255).
// In a colour file the 8-bit form's bytes are indexes into the 256-colour palette
// (CcfPalette.h); the other forms are read as in grey files.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvalin
{

// Pixel (x, y) is m_grey[y * m_nWidth + x]; m_set says whether the bitmap data reached
// it (a pixel it did not reach is left to whatever is drawn underneath, the key's frame).
// The one-byte-per-pixel form of a colour file keeps its palette indexes in m_grey.
struct CGreyImage
{
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint8_t> m_grey;
    std::vector<uint8_t> m_set;
    bool m_bPalette = false; // m_grey holds palette indexes, not grey values

    bool IsSet(int x, int y) const
    {
        return m_set[std::size_t(y) * std::size_t(m_nWidth) + std::size_t(x)] != 0;
    }
    uint8_t Grey(int x, int y) const
    {
        return m_grey[std::size_t(y) * std::size_t(m_nWidth) + std::size_t(x)];
    }
    // The pixel's colour as 0x00RRGGBB: its palette colour or its grey.
    uint32_t Rgb(int x, int y) const;
};

enum class EKeyBitmapForm
{
    Grey8,
    Bits1,
    RunLength,
    Bits2,
};

// No key is drawn larger than this many pixels; a larger size gives an empty image.
constexpr std::size_t kMaxKeyBitmapPixels = std::size_t(4096) * 4096;
// No key is drawn wider or taller than this many pixels: a remote's screen is far
// smaller, and the dialog shows less still. Of a larger picture only the top-left part
// is drawn.
constexpr int kMaxKeySide = 512;

EKeyBitmapForm KeyBitmapForm(uint16_t flags);

// The grey level 0..3 as a grey value.
constexpr uint8_t GreyOfLevel(unsigned level)
{
    return uint8_t(85 * (level & 3));
}

// The colour of a key's caption as 0x00RRGGBB: in a grey file the grey level of the text
// colour's low two bits, in a colour file the palette colour the text colour indexes.
uint32_t KeyCaptionRgb(uint8_t textColor, bool colourFile);

// Decodes `width` x `height` pixels from `data`, reading at most `available` bytes (the
// bytes from `data` to the end of the CCF image). A null `data`, a zero or negative
// size, or one above kMaxKeyBitmapPixels gives an image with no pixels. `colourFile`:
// the bitmap comes from a colour file (the 8-bit form holds palette indexes).
CGreyImage DecodeKeyBitmap(uint16_t flags, const uint8_t* data, std::size_t available, int width, int height,
                           bool colourFile = false);
// The same for the top-left `keepWidth` x `keepHeight` pixels of a `width` x `height`
// picture: the rows are laid out by the full width, the work is bounded by the part
// kept (and by `available`), and the image has the size of that part.
CGreyImage DecodeKeyBitmap(uint16_t flags, const uint8_t* data, std::size_t available, int width, int height,
                           int keepWidth, int keepHeight, bool colourFile = false);

} // namespace corvalin
