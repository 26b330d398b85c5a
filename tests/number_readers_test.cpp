// The value entry dialog's number readers, against the C library's own behaviour
// where the two agree and against the 32-bit rules where they do not.

#include "params/NumberReaders.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace corvalin;

struct NumberCase
{
    const char* text;
    uint32_t value;
};

TEST(NumberReaders, Decimal)
{
    const NumberCase cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"-3", 0xFFFFFFFD},
        {"", 0},
        {"  \t+42", 42},
        {"- 5", 0},
        {"+-5", 0},
        {"2147483647", 0x7FFFFFFF},
        {"-2147483648", 0x80000000},
        {"4294967295", 0xFFFFFFFF},
        {"4294967296", 0}, // no overflow test
        {"007", 7},
        {"1 2", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, uint32_t(ReadDecimalNumber(c.text))) << '"' << c.text << '"';
}

TEST(NumberReaders, Hexadecimal)
{
    const NumberCase cases[] = {
        {"1f4", 0x1F4},
        {"1F4", 0x1F4},
        {"0x10", 0x10},
        {"0X10", 0x10},
        {"FFFFFFFF", 0x7FFFFFFF},
        {"-1", 0xFFFFFFFF},
        {"-0x10", 0xFFFFFFF0},
        {"7FFFFFFF", 0x7FFFFFFF},
        {"80000000", 0x7FFFFFFF},
        {"-80000000", 0x80000000},
        {"-80000001", 0x80000000},
        {"123456789ABCDEF0123", 0x7FFFFFFF},
        {"zz", 0},
        {"", 0},
        {"0x", 0},
        {"0xg", 0},
        {"  +a", 0xA},
        {"12 34", 0x12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, uint32_t(ReadHexNumber(c.text))) << '"' << c.text << '"';
}

TEST(NumberReaders, HexAgreesWithStrtolWithinTheLongRange)
{
    // Within 32 bits the C library's strtol (base 16) gives the same numbers.
    for (const char* text : {"0", "1f", "-1f", "0x7fff", "  -0Xabc", "ffff", "+12zz", "0x", "x1"})
        EXPECT_EQ(int32_t(std::strtol(text, nullptr, 16)), ReadHexNumber(text)) << text;
}
