#include "image/ImageHeader.h"

#include <cstring>

namespace corvalin
{

std::string GetImageName(const ImageHeader& h)
{
    const char* name = reinterpret_cast<const char*>(&h[kNameOffset]);
    const void* nul = std::memchr(name, 0, kNameSize);
    std::size_t length = nul ? std::size_t(static_cast<const char*>(nul) - name) : kNameSize;
    return std::string(name, length);
}

} // namespace corvalin
