#include "ir/KeyBitmap.h"

#include "ir/CcfPalette.h"

#include <algorithm>

namespace corvalin
{

namespace
{

constexpr uint16_t kFlagGrey8 = 0x0100;
constexpr uint16_t kFlagGreyLevels = 0x0001;
constexpr uint16_t kFlagRunLength = 0x0080;
constexpr unsigned kRowAlignPixels = 8;
constexpr unsigned kRunFlag = 0x80;
constexpr unsigned kShortestRun = 4;

std::size_t RoundUpToRow(std::size_t width)
{
    return (width + kRowAlignPixels - 1) / kRowAlignPixels * kRowAlignPixels;
}

void Set(CGreyImage& image, std::size_t x, std::size_t y, uint8_t grey)
{
    std::size_t index = y * std::size_t(image.m_nWidth) + x;
    image.m_grey[index] = grey;
    image.m_set[index] = 1;
}

// Where the picture's rows lie and which part of them the image keeps.
struct CLayout
{
    std::size_t m_nWidth; // of the whole picture: rows are laid out by it
    std::size_t m_nKeepWidth;
    std::size_t m_nKeepHeight;
};

// Takes pixels in row order across the whole picture and keeps those of the kept part.
class CPixelSink
{
  public:
    CPixelSink(CGreyImage& image, const CLayout& layout)
        : m_image(image), m_layout(layout), m_nEnd(layout.m_nWidth * layout.m_nKeepHeight)
    {
    }

    // Past the last kept row: the rest of the data changes nothing.
    bool Full() const { return m_nNext >= m_nEnd; }

    // Sets the next `count` pixels; those outside the kept part are passed over a row
    // at a time, and those past the last kept row are dropped.
    void Put(uint8_t grey, std::size_t count)
    {
        while (count > 0 && !Full())
        {
            std::size_t x = m_nNext % m_layout.m_nWidth;
            std::size_t y = m_nNext / m_layout.m_nWidth;
            std::size_t inRow = std::min(count, m_layout.m_nWidth - x);
            for (std::size_t end = std::min(x + inRow, m_layout.m_nKeepWidth); x < end; ++x)
                Set(m_image, x, y, grey);
            m_nNext += inRow;
            count -= inRow;
        }
    }

  private:
    CGreyImage& m_image;
    const CLayout& m_layout;
    std::size_t m_nEnd;
    std::size_t m_nNext = 0;
};

void DecodeGrey8(CGreyImage& image, const CLayout& layout, const uint8_t* data, std::size_t available)
{
    std::size_t stride = RoundUpToRow(layout.m_nWidth);
    for (std::size_t y = 0; y < layout.m_nKeepHeight; ++y)
    {
        for (std::size_t x = 0; x < layout.m_nKeepWidth; ++x)
        {
            std::size_t at = y * stride + x;
            if (at >= available)
                return;
            Set(image, x, y, data[at]);
        }
    }
}

void DecodeBits2(CGreyImage& image, const CLayout& layout, const uint8_t* data, std::size_t available)
{
    std::size_t rowBytes = RoundUpToRow(layout.m_nWidth) / 4;
    for (std::size_t y = 0; y < layout.m_nKeepHeight; ++y)
    {
        for (std::size_t x = 0; x < layout.m_nKeepWidth; ++x)
        {
            std::size_t at = y * rowBytes + x / 4;
            if (at >= available)
                return;
            unsigned shift = unsigned(6 - 2 * (x % 4));
            Set(image, x, y, GreyOfLevel(unsigned(data[at]) >> shift));
        }
    }
}

void DecodeBits1(CGreyImage& image, const CLayout& layout, const uint8_t* data, std::size_t available)
{
    for (std::size_t y = 0; y < layout.m_nKeepHeight; ++y)
    {
        for (std::size_t x = 0; x < layout.m_nKeepWidth; ++x)
        {
            std::size_t n = y * layout.m_nWidth + x;
            if (n / 8 >= available)
                return;
            bool white = (data[n / 8] >> (n % 8)) & 1;
            Set(image, x, y, white ? 255 : 0);
        }
    }
}

void DecodeRunLength(CGreyImage& image, const CLayout& layout, const uint8_t* data, std::size_t available)
{
    CPixelSink sink(image, layout);
    for (std::size_t at = 0; at < available && !sink.Full(); ++at)
    {
        unsigned b = data[at];
        if (b & kRunFlag)
        {
            sink.Put(GreyOfLevel(b), ((b >> 2) & 0x1F) + kShortestRun);
        }
        else
        {
            sink.Put(GreyOfLevel(b >> 4), 1);
            sink.Put(GreyOfLevel(b >> 2), 1);
            sink.Put(GreyOfLevel(b), 1);
        }
    }
}

} // namespace

uint32_t CGreyImage::Rgb(int x, int y) const
{
    const uint32_t v = Grey(x, y);
    return m_bPalette ? CcfPaletteRgb(uint8_t(v)) : v << 16 | v << 8 | v;
}

uint32_t KeyCaptionRgb(uint8_t textColor, bool colourFile)
{
    if (colourFile)
        return CcfPaletteRgb(textColor);
    const uint32_t v = GreyOfLevel(textColor);
    return v << 16 | v << 8 | v;
}

EKeyBitmapForm KeyBitmapForm(uint16_t flags)
{
    if (flags & kFlagGrey8)
        return EKeyBitmapForm::Grey8;
    if (!(flags & kFlagGreyLevels))
        return EKeyBitmapForm::Bits1;
    if (flags & kFlagRunLength)
        return EKeyBitmapForm::RunLength;
    return EKeyBitmapForm::Bits2;
}

CGreyImage DecodeKeyBitmap(uint16_t flags, const uint8_t* data, std::size_t available, int width, int height,
                           bool colourFile)
{
    return DecodeKeyBitmap(flags, data, available, width, height, width, height, colourFile);
}

CGreyImage DecodeKeyBitmap(uint16_t flags, const uint8_t* data, std::size_t available, int width, int height,
                           int keepWidth, int keepHeight, bool colourFile)
{
    CGreyImage image;
    keepWidth = std::min(keepWidth, width);
    keepHeight = std::min(keepHeight, height);
    if (!data || keepWidth <= 0 || keepHeight <= 0 ||
        std::size_t(keepWidth) * std::size_t(keepHeight) > kMaxKeyBitmapPixels)
        return image;
    const CLayout layout = {std::size_t(width), std::size_t(keepWidth), std::size_t(keepHeight)};
    image.m_nWidth = keepWidth;
    image.m_nHeight = keepHeight;
    std::size_t total = std::size_t(keepWidth) * std::size_t(keepHeight);
    image.m_grey.assign(total, 0);
    image.m_set.assign(total, 0);
    switch (KeyBitmapForm(flags))
    {
    case EKeyBitmapForm::Grey8:
        DecodeGrey8(image, layout, data, available);
        image.m_bPalette = colourFile;
        break;
    case EKeyBitmapForm::Bits1:
        DecodeBits1(image, layout, data, available);
        break;
    case EKeyBitmapForm::RunLength:
        DecodeRunLength(image, layout, data, available);
        break;
    case EKeyBitmapForm::Bits2:
        DecodeBits2(image, layout, data, available);
        break;
    }
    return image;
}

} // namespace corvalin
