#pragma once
// UTF-8 text (our strings) to the UTF-16 text the wide Windows calls take.

#include <windows.h>

#include <string>

namespace corvalin::platform
{

inline std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

} // namespace corvalin::platform
