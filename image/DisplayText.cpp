#include "image/DisplayText.h"

#include <cstdint>

namespace corvalin
{

std::string Latin1ToUtf8Text(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes)
    {
        if (c < 0x80)
            text += char(c);
        else
        {
            text += char(0xC0 | (c >> 6));
            text += char(0x80 | (c & 0x3F));
        }
    }
    return text;
}

bool IsUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size())
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        uint32_t code = lead;
        if (lead < 0x80)
            extra = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1, code = lead & 0x1F;
        else if (lead >= 0xE0 && lead <= 0xEF)
            extra = 2, code = lead & 0x0F;
        else if (lead >= 0xF0 && lead <= 0xF4)
            extra = 3, code = lead & 0x07;
        else
            return false;
        if (text.size() - i <= std::size_t(extra))
            return false;
        for (int k = 1; k <= extra; ++k)
        {
            const unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong three- and four-byte forms, surrogates, beyond the last code point.
        if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += std::size_t(extra) + 1;
    }
    return true;
}

std::string MemberNameText(const std::string& name)
{
    return IsUtf8(name) ? name : Latin1ToUtf8Text(name);
}

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace corvalin
