// Any bytes as big-endian Pronto code words, decoded with the trace on. An accepted
// code must carry a protocol 1 to 8 and no bits beyond that protocol's width.

#include "ir/IrDecoder.h"

#include <cstdlib>
#include <sstream>
#include <vector>

using namespace corvalin;

namespace
{

constexpr int kCodeBits[kIrProtocolCount] = {0, 32, 11, 16, 15, 12, 15, 20, 32};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // Exactly as many words as the input holds, so a read past them is caught.
    std::vector<uint16_t> words(size / 2);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = uint16_t(data[2 * i] << 8 | data[2 * i + 1]);

    std::ostringstream trace;
    CIrDecodeResult result = DecodeIrCode(words.data(), words.size(), &trace);
    const EIrProtocol classified = ClassifyIrCode(words.data(), words.size());
    switch (result.m_eOutcome)
    {
    case EIrDecodeOutcome::Accepted:
    {
        const int protocol = int(result.m_eProtocol);
        if (protocol < 1 || protocol > 8 || result.m_eProtocol != classified)
            std::abort();
        if (kCodeBits[protocol] < 32 && (result.m_nCode >> kCodeBits[protocol]) != 0)
            std::abort();
        break;
    }
    case EIrDecodeOutcome::Rejected:
        if (result.m_eProtocol != EIrProtocol::Empty || result.m_nCode != 0)
            std::abort();
        break;
    case EIrDecodeOutcome::NotDecoded:
        if (!trace.str().empty())
            std::abort();
        break;
    }
    return 0;
}
