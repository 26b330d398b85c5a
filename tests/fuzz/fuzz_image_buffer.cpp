// Any bytes as a bundle member: load them from a buffer, then check what is held and
// show its parameter list.

#include "image/FirmwareImage.h"
#include "params/DisplayList.h"
#include "tests/fuzz/FuzzTable.h"

#include <cstdlib>
#include <cstring>

using namespace corvalin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const CParameterTable& table = FuzzParameterTable();

    CFirmwareImage image;
    const int accepted = image.LoadBuffer(data, size, [](const std::string&) {});
    if (!image.IsHeld())
    {
        if (accepted != 0)
            std::abort();
        return 0;
    }
    // Whatever is held is the buffer's body, sendable in 16-bit block numbers, and
    // its header scrambles back to the buffer's first bytes.
    if (image.BodySize() != size - kHeaderSize || image.Blocks() != int32_t(image.BodySize() >> 9) ||
        image.Blocks() < 1 || std::size_t(image.Blocks()) > kMaxBlockCount ||
        std::memcmp(image.Body(), data + kHeaderSize, image.BodySize()) != 0)
        std::abort();
    uint8_t scrambled[kHeaderSize];
    ApplyHeaderKey(image.Header().data(), scrambled, kHeaderSize, image.Body(), image.BodySize());
    if (std::memcmp(scrambled, data, kHeaderSize) != 0)
        std::abort();
    if (accepted != (image.Header()[kTagOffset + 3] == kImageTagTopByte ? 1 : 0))
        std::abort();
    const CDisplayList list = BuildDisplayList(table, image.Header());
    if (list.m_lines.size() != list.m_slots.size())
        std::abort();
    return 0;
}
