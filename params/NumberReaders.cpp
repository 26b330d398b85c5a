#include "params/NumberReaders.h"

namespace corvalin
{

namespace
{

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Skips leading white space and reads an optional sign; returns true for '-'.
bool ReadSign(std::string_view text, std::size_t& i)
{
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return text[i++] == '-';
    return false;
}

} // namespace

int32_t ReadDecimalNumber(std::string_view text)
{
    std::size_t i = 0;
    bool negative = ReadSign(text, i);
    uint32_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = magnitude * 10u + uint32_t(text[i] - '0');
    return int32_t(negative ? 0u - magnitude : magnitude);
}

int32_t ReadHexNumber(std::string_view text)
{
    std::size_t i = 0;
    bool negative = ReadSign(text, i);
    // "0x" is a prefix only when a hex digit follows it; otherwise the "0" is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0)
        i += 2;

    constexpr uint64_t kLongMax = 0x7FFFFFFFu;
    uint64_t magnitude = 0;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i)
    {
        // Held just above the limit, so a long run of digits cannot wrap around.
        magnitude = magnitude * 16u + uint64_t(HexDigit(text[i]));
        if (magnitude > kLongMax + 1)
            magnitude = kLongMax + 1;
    }
    if (negative)
        return magnitude > kLongMax ? int32_t(0x80000000u) : int32_t(0u - uint32_t(magnitude));
    return magnitude > kLongMax ? int32_t(kLongMax) : int32_t(magnitude);
}

} // namespace corvalin
