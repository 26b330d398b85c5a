// Any bytes as a CCF file: load, walk, and decode the bitmaps of the keys the code
// selection dialog makes, as it does (the first 101, at their CCF size cut to
// kMaxKeySide), with the trace on.

#include "ir/CcfReader.h"
#include "ir/CodeSelection.h"
#include "ir/KeyBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <streambuf>

using namespace corvalin;

namespace
{

// A walk stops after this many visits here, a tenth of the reader's own budget: the
// same path, at a cost a fuzzer can repeat many times a second.
constexpr std::size_t kFuzzWalkBudget = CcfReader::kWalkBudget / 10;

// Takes the trace and keeps none of it: a walk of a quarter million keys would
// otherwise hold hundreds of megabytes of text.
class CDiscard : public std::streambuf
{
  protected:
    int overflow(int c) override { return c == EOF ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CDiscard discard;
    std::ostream trace(&discard);
    CcfReader reader(&trace);
    reader.SetWalkBudget(kFuzzWalkBudget);
    if (!reader.LoadBytes(data, size))
        return 0;
    reader.Walk();
    const uint8_t* begin = reader.Image().data();
    const uint8_t* end = begin + reader.Image().size();
    for (const CIrKeyRecord& key : reader.Keys())
    {
        if (int(key.protocol) < 0 || int(key.protocol) > 8)
            std::abort();
    }
    const std::size_t shown = std::min(reader.Keys().size(), kMaxSourceKeys);
    for (std::size_t n = 0; n < shown; ++n)
    {
        const CIrKeyRecord& key = reader.Keys()[n];
        if (!key.bitmap)
            continue;
        if (key.bitmap < begin || key.bitmap + key.bitmapSize != end)
            std::abort();
        CGreyImage image = DecodeKeyBitmap(key.bitmapFlags, key.bitmap, key.bitmapSize, key.width, key.height,
                                           kMaxKeySide, kMaxKeySide, key.colour);
        if (image.m_grey.size() != std::size_t(image.m_nWidth) * std::size_t(image.m_nHeight) ||
            image.m_nWidth > kMaxKeySide || image.m_nHeight > kMaxKeySide)
            std::abort();
        // A grey file's picture is grey whatever its bytes; a colour one's may not be.
        if (image.m_nWidth > 0 && !key.colour)
        {
            const uint32_t rgb = image.Rgb(0, 0);
            if (((rgb >> 16) & 0xFF) != (rgb & 0xFF) || ((rgb >> 8) & 0xFF) != (rgb & 0xFF))
                std::abort();
        }
    }
    return 0;
}
