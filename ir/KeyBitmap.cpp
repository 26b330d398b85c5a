#include "ir/KeyBitmap.h"

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

class CPixelSink
{
public:
    explicit CPixelSink(CGreyImage& image)
        : m_image(image), m_nTotal(std::size_t(image.m_nWidth) * std::size_t(image.m_nHeight))
    {
    }

    bool Full() const { return m_nNext >= m_nTotal; }

    // Sets the next pixel in row order; pixels past the last row are dropped.
    void Put(uint8_t grey)
    {
        if (Full())
            return;
        m_image.m_grey[m_nNext] = grey;
        m_image.m_set[m_nNext] = 1;
        ++m_nNext;
    }

private:
    CGreyImage& m_image;
    std::size_t m_nTotal;
    std::size_t m_nNext = 0;
};

void Set(CGreyImage& image, std::size_t x, std::size_t y, uint8_t grey)
{
    std::size_t index = y * std::size_t(image.m_nWidth) + x;
    image.m_grey[index] = grey;
    image.m_set[index] = 1;
}

void DecodeGrey8(CGreyImage& image, const uint8_t* data, std::size_t available)
{
    std::size_t w = std::size_t(image.m_nWidth);
    std::size_t stride = RoundUpToRow(w);
    for (std::size_t y = 0; y < std::size_t(image.m_nHeight); ++y)
    {
        for (std::size_t x = 0; x < w; ++x)
        {
            std::size_t at = y * stride + x;
            if (at >= available)
                return;
            Set(image, x, y, data[at]);
        }
    }
}

void DecodeBits2(CGreyImage& image, const uint8_t* data, std::size_t available)
{
    std::size_t w = std::size_t(image.m_nWidth);
    std::size_t rowBytes = RoundUpToRow(w) / 4;
    for (std::size_t y = 0; y < std::size_t(image.m_nHeight); ++y)
    {
        for (std::size_t x = 0; x < w; ++x)
        {
            std::size_t at = y * rowBytes + x / 4;
            if (at >= available)
                return;
            unsigned shift = unsigned(6 - 2 * (x % 4));
            Set(image, x, y, GreyOfLevel(unsigned(data[at]) >> shift));
        }
    }
}

void DecodeBits1(CGreyImage& image, const uint8_t* data, std::size_t available)
{
    std::size_t total = std::size_t(image.m_nWidth) * std::size_t(image.m_nHeight);
    for (std::size_t n = 0; n < total; ++n)
    {
        if (n / 8 >= available)
            return;
        bool white = (data[n / 8] >> (n % 8)) & 1;
        image.m_grey[n] = white ? 255 : 0;
        image.m_set[n] = 1;
    }
}

void DecodeRunLength(CGreyImage& image, const uint8_t* data, std::size_t available)
{
    CPixelSink sink(image);
    for (std::size_t at = 0; at < available && !sink.Full(); ++at)
    {
        unsigned b = data[at];
        if (b & kRunFlag)
        {
            unsigned length = ((b >> 2) & 0x1F) + kShortestRun;
            for (unsigned i = 0; i < length; ++i)
                sink.Put(GreyOfLevel(b));
        }
        else
        {
            sink.Put(GreyOfLevel(b >> 4));
            sink.Put(GreyOfLevel(b >> 2));
            sink.Put(GreyOfLevel(b));
        }
    }
}

} // namespace

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

CGreyImage DecodeKeyBitmap(uint16_t flags, const uint8_t* data, std::size_t available, int width, int height)
{
    CGreyImage image;
    if (!data || width <= 0 || height <= 0 ||
        std::size_t(width) * std::size_t(height) > kMaxKeyBitmapPixels)
        return image;
    image.m_nWidth = width;
    image.m_nHeight = height;
    std::size_t total = std::size_t(width) * std::size_t(height);
    image.m_grey.assign(total, 0);
    image.m_set.assign(total, 0);
    switch (KeyBitmapForm(flags))
    {
    case EKeyBitmapForm::Grey8:
        DecodeGrey8(image, data, available);
        break;
    case EKeyBitmapForm::Bits1:
        DecodeBits1(image, data, available);
        break;
    case EKeyBitmapForm::RunLength:
        DecodeRunLength(image, data, available);
        break;
    case EKeyBitmapForm::Bits2:
        DecodeBits2(image, data, available);
        break;
    }
    return image;
}

} // namespace corvalin
