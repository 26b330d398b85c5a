#pragma once
// How the value entry dialog reads typed numbers. Unreadable text gives 0; nothing
// is rejected.

#include <cstdint>
#include <string_view>

namespace corvalin
{

// Like atoi: leading white space, an optional sign, decimal digits up to the first
// other character. Overflow is not detected: the digits wrap modulo 2^32.
int32_t ReadDecimalNumber(std::string_view text);

// Like strtol with base 16 and a 32-bit long: leading white space, an optional sign,
// an optional "0x"/"0X", hex digits. A magnitude above 7FFFFFFF gives 7FFFFFFF, or
// 80000000 with a minus sign; a minus sign negates ("-1" gives FFFFFFFF).
int32_t ReadHexNumber(std::string_view text);

} // namespace corvalin
