// Key bitmaps in their four forms, and pixel data that ends early.

#include "ir/KeyBitmap.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvalin;

namespace
{

using Bytes = std::vector<uint8_t>;

CGreyImage Decode(uint16_t flags, const Bytes& data, int w, int h)
{
    return DecodeKeyBitmap(flags, data.data(), data.size(), w, h);
}

std::vector<int> Row(const CGreyImage& image, int y)
{
    std::vector<int> row;
    for (int x = 0; x < image.m_nWidth; ++x)
        row.push_back(image.IsSet(x, y) ? image.Grey(x, y) : -1);
    return row;
}

int CountSet(const CGreyImage& image)
{
    int n = 0;
    for (uint8_t set : image.m_set)
        n += set;
    return n;
}

constexpr uint16_t kGrey8 = 0x0100;
constexpr uint16_t kBits1 = 0x0000;
constexpr uint16_t kRunLength = 0x0081;
constexpr uint16_t kBits2 = 0x0001;

} // namespace

TEST(KeyBitmap, FormsAreChosenInOrder)
{
    EXPECT_EQ(EKeyBitmapForm::Grey8, KeyBitmapForm(0x0100));
    EXPECT_EQ(EKeyBitmapForm::Grey8, KeyBitmapForm(0x0181));
    EXPECT_EQ(EKeyBitmapForm::Bits1, KeyBitmapForm(0x0000));
    EXPECT_EQ(EKeyBitmapForm::Bits1, KeyBitmapForm(0x0080));
    EXPECT_EQ(EKeyBitmapForm::RunLength, KeyBitmapForm(0x0081));
    EXPECT_EQ(EKeyBitmapForm::Bits2, KeyBitmapForm(0x0001));
    EXPECT_EQ(EKeyBitmapForm::Bits2, KeyBitmapForm(0xFE7F));
}

TEST(KeyBitmap, OneBitStreamRunsAcrossRows)
{
    CGreyImage image = Decode(kBits1, {0x01, 0xFC, 0x03}, 10, 2);
    EXPECT_EQ((std::vector<int>{255, 0, 0, 0, 0, 0, 0, 0, 0, 0}), Row(image, 0));
    // Pixel 10 is bit 2 of byte 1.
    EXPECT_EQ((std::vector<int>{255, 255, 255, 255, 255, 255, 255, 255, 0, 0}), Row(image, 1));
}

TEST(KeyBitmap, TwoBitRowsArePaddedToEightPixels)
{
    // Width 5: rows of 8 pixels (2 bytes); pixels 5 to 7 of each row are not seen.
    CGreyImage image = Decode(kBits2, {0x1B, 0xC0, 0xFF, 0x3F, 0x55, 0x00}, 5, 3);
    EXPECT_EQ((std::vector<int>{0, 85, 170, 255, 255}), Row(image, 0));
    EXPECT_EQ((std::vector<int>{255, 255, 255, 255, 0}), Row(image, 1));
    EXPECT_EQ((std::vector<int>{85, 85, 85, 85, 0}), Row(image, 2));
}

TEST(KeyBitmap, GreyBytesWithRowsOfSixteen)
{
    Bytes data(32, 0xEE);
    for (int x = 0; x < 10; ++x)
    {
        data[std::size_t(x)] = uint8_t(x);
        data[std::size_t(16 + x)] = uint8_t(100 + x);
    }
    CGreyImage image = Decode(kGrey8, data, 10, 2);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), Row(image, 0));
    EXPECT_EQ((std::vector<int>{100, 101, 102, 103, 104, 105, 106, 107, 108, 109}), Row(image, 1));
}

TEST(KeyBitmap, RunLengthRunsAndLiterals)
{
    // 83: 4 white; 1B: dark, light, white; 89: 6 dark grey running into row 2;
    // FF: 35 white, of which the 7 that fit are set.
    CGreyImage image = Decode(kRunLength, {0x83, 0x1B, 0x89, 0xFF, 0x80}, 10, 2);
    EXPECT_EQ((std::vector<int>{255, 255, 255, 255, 85, 170, 255, 85, 85, 85}), Row(image, 0));
    EXPECT_EQ((std::vector<int>{85, 85, 85, 255, 255, 255, 255, 255, 255, 255}), Row(image, 1));

    // A literal across the last pixel: only the pixels that fit are set.
    CGreyImage small = Decode(kRunLength, {0x3F, 0x15}, 2, 2);
    EXPECT_EQ((std::vector<int>{255, 255}), Row(small, 0));
    EXPECT_EQ((std::vector<int>{255, 85}), Row(small, 1));

    // Bit 6 of a literal is not used.
    EXPECT_EQ((std::vector<int>{85, 170, 255}), Row(Decode(kRunLength, {0x5B}, 3, 1), 0));
}

TEST(KeyBitmap, DataEndingEarlyLeavesThePixelsUnset)
{
    CGreyImage grey = Decode(kGrey8, Bytes(20, 7), 10, 3); // row 1 ends at byte 20, row 2 absent
    EXPECT_EQ(std::vector<int>(10, 7), Row(grey, 0));
    std::vector<int> row1(10, -1);
    for (int x = 0; x < 4; ++x)
        row1[std::size_t(x)] = 7;
    EXPECT_EQ(row1, Row(grey, 1));
    EXPECT_EQ(std::vector<int>(10, -1), Row(grey, 2));

    EXPECT_EQ(16, CountSet(Decode(kBits1, Bytes(2, 0xFF), 10, 10)));
    EXPECT_EQ(12, CountSet(Decode(kBits2, Bytes(3, 0xFF), 12, 4))); // rows of 4 bytes
    EXPECT_EQ(35, CountSet(Decode(kRunLength, {0xFF}, 48, 24)));
    EXPECT_EQ(0, CountSet(Decode(kBits2, {}, 4, 4)));
}

TEST(KeyBitmap, APartOfAPictureIsItsTopLeftCorner)
{
    // Rows laid out by the whole width in every form, and runs that cross the cut.
    Bytes data(400);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 77 + i / 5);
    for (uint16_t flags : {kGrey8, kBits1, kRunLength, kBits2})
    {
        CGreyImage whole = Decode(flags, data, 21, 9);
        CGreyImage part = DecodeKeyBitmap(flags, data.data(), data.size(), 21, 9, 6, 4);
        ASSERT_EQ(6, part.m_nWidth);
        ASSERT_EQ(4, part.m_nHeight);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(whole.IsSet(x, y) ? whole.Grey(x, y) : -1, part.IsSet(x, y) ? part.Grey(x, y) : -1)
                    << flags << " (" << x << ", " << y << ")";
    }
    // A part larger than the picture is the picture; the largest picture can be cut to size.
    EXPECT_EQ(21, DecodeKeyBitmap(kBits2, data.data(), data.size(), 21, 9, 512, 512).m_nWidth);
    CGreyImage corner = DecodeKeyBitmap(kRunLength, data.data(), data.size(), 65535, 65535, 512, 512);
    EXPECT_EQ(512, corner.m_nHeight);
    EXPECT_GT(CountSet(corner), 0);
}

TEST(KeyBitmap, NoPixelsWithoutDataOrSize)
{
    Bytes data(64, 0xFF);
    EXPECT_TRUE(DecodeKeyBitmap(kBits2, nullptr, 64, 8, 8).m_grey.empty());
    EXPECT_TRUE(Decode(kBits2, data, 0, 8).m_grey.empty());
    EXPECT_TRUE(Decode(kBits2, data, 8, -1).m_grey.empty());
    EXPECT_TRUE(Decode(kGrey8, data, 65535, 65535).m_grey.empty());
    EXPECT_EQ(0, Decode(kGrey8, data, 65535, 65535).m_nWidth);
}

TEST(KeyBitmap, GreyLevels)
{
    EXPECT_EQ(0, GreyOfLevel(0));
    EXPECT_EQ(85, GreyOfLevel(1));
    EXPECT_EQ(170, GreyOfLevel(2));
    EXPECT_EQ(255, GreyOfLevel(3));
    EXPECT_EQ(170, GreyOfLevel(6)); // only the low two bits count
}

// A colour file's one-byte-per-pixel bitmap holds palette indexes; its other forms and
// every bitmap of a grey file are grey.
TEST(KeyBitmap, ColourFilesIndexThePaletteInTheirEightBitForm)
{
    const Bytes data = {0, 5, 30, 180, 215, 240, 251, 255, 1, 2};
    CGreyImage colour = DecodeKeyBitmap(kGrey8, data.data(), data.size(), 8, 1, true);
    EXPECT_TRUE(colour.m_bPalette);
    const uint32_t expected[8] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                  0xFFFFFF, 0xFFFFFF, 0x505050, 0x101010};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(expected[x], colour.Rgb(x, 0)) << x;
    // The same bytes in a grey file are grey values.
    CGreyImage grey = Decode(kGrey8, data, 8, 1);
    EXPECT_FALSE(grey.m_bPalette);
    EXPECT_EQ(0x050505u, grey.Rgb(1, 0));
    EXPECT_EQ(0xB4B4B4u, grey.Rgb(3, 0));
    // The other forms read as in grey files, in either kind of file.
    for (uint16_t flags : {kBits1, kRunLength, kBits2})
    {
        CGreyImage a = DecodeKeyBitmap(flags, data.data(), data.size(), 8, 2, true);
        CGreyImage b = Decode(flags, data, 8, 2);
        EXPECT_FALSE(a.m_bPalette) << flags;
        EXPECT_EQ(b.m_grey, a.m_grey) << flags;
        EXPECT_EQ(b.m_set, a.m_set) << flags;
    }
    const Bytes level1 = {0x55};
    EXPECT_EQ(0x555555u, DecodeKeyBitmap(kBits2, level1.data(), 1, 4, 1, true).Rgb(0, 0));
}

TEST(KeyBitmap, CaptionColours)
{
    // Grey files: the grey level of the low two bits, as before.
    EXPECT_EQ(0x000000u, KeyCaptionRgb(0, false));
    EXPECT_EQ(0xAAAAAAu, KeyCaptionRgb(2, false));
    EXPECT_EQ(0xFFFFFFu, KeyCaptionRgb(7, false));
    // Colour files: the palette colour; the grey levels' own indexes are near them.
    EXPECT_EQ(0xFF0000u, KeyCaptionRgb(5, true));
    EXPECT_EQ(0x000000u, KeyCaptionRgb(0, true));
    EXPECT_EQ(0x505050u, KeyCaptionRgb(251, true));
    EXPECT_EQ(0xB0B0B0u, KeyCaptionRgb(245, true));
    EXPECT_EQ(0xFFFFFFu, KeyCaptionRgb(215, true));
    EXPECT_EQ(0x0000FFu, KeyCaptionRgb(180, true));
}
