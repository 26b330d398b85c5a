#pragma once
// Our texts in the wide form the Windows calls take. Paths and typed text are UTF-8;
// CCF labels are single bytes, each one character of the remote's font.

#include <string>
#include <string_view>

namespace corvalin::win32
{

std::wstring FromUtf8(std::string_view text);
std::string ToUtf8(std::wstring_view text);
// Each byte as the character of the same number (U+0000 to U+00FF).
std::wstring FromLatin1(std::string_view text);

} // namespace corvalin::win32
