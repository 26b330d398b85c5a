#include "cli/Latin1.h"

#include "image/DisplayText.h"

#include <cstdio>

namespace corvalin::cli
{

std::string Latin1ToUtf8(const std::string& latin1)
{
    return Latin1ToUtf8Text(latin1);
}

std::string Utf8ToLatin1(const std::string& utf8)
{
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80)
        {
            latin1 += char(c);
            continue;
        }
        // Only the two-byte sequences C2 80 to C3 BF stay within Latin-1.
        if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80)
        {
            latin1 += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            ++i;
            continue;
        }
        return utf8;
    }
    return latin1;
}

std::string PrintableText(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1)
        {
            out += '?';
            i += c1 ? 1 : 0;
        }
        else
            out += char(c);
    }
    return out;
}

std::string BoxText(const std::string& bytes)
{
    return PrintableText(Latin1ToUtf8(bytes));
}

std::string JsonString(const std::string& latin1)
{
    std::string out = "\"";
    for (unsigned char c : latin1)
    {
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += char(c);
        }
        else if (c < 0x20 || c == 0x7F)
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(c));
            out += escape;
        }
        else
        {
            out += Latin1ToUtf8(std::string(1, char(c)));
        }
    }
    return out + "\"";
}

} // namespace corvalin::cli
