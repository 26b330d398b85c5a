#pragma once
// UTF-8 text (our strings) to the UTF-16 text the wide Windows calls take, and back.

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

inline std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace corvalin::platform
