#include "gui/win32/WideText.h"

#include "platform/win32/WideText.h"

namespace corvalin::win32
{

std::wstring FromUtf8(std::string_view text)
{
    return platform::Widen(std::string(text));
}

std::string ToUtf8(std::wstring_view text)
{
    return platform::Narrow(std::wstring(text));
}

std::wstring FromLatin1(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text)
        wide.push_back(wchar_t(static_cast<unsigned char>(c)));
    return wide;
}

} // namespace corvalin::win32
