// Any bytes as a CCF file: load, walk, and decode every key's bitmap, with the trace on.

#include "ir/CcfReader.h"
#include "ir/KeyBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

using namespace corvalin;

namespace
{

// Keys are drawn at their CCF size; beyond this the pixels only cost time, not paths.
constexpr int kFuzzMaxSide = 256;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::ostringstream trace;
    CcfReader reader(&trace);
    if (!reader.LoadBytes(data, size))
        return 0;
    reader.Walk();
    const uint8_t* begin = reader.Image().data();
    const uint8_t* end = begin + reader.Image().size();
    for (const CIrKeyRecord& key : reader.Keys())
    {
        if (key.protocol < 0 || key.protocol > 8)
            std::abort();
        if (!key.bitmap)
            continue;
        if (key.bitmap < begin || key.bitmap + key.bitmapSize != end)
            std::abort();
        CGreyImage image = DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize,
                                           std::min<int>(key.width, kFuzzMaxSide),
                                           std::min<int>(key.height, kFuzzMaxSide));
        if (image.m_grey.size() != std::size_t(image.m_nWidth) * std::size_t(image.m_nHeight))
            std::abort();
    }
    return 0;
}
