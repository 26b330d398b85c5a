#include "ir/IrDecoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <ostream>

namespace corvalin
{

namespace
{

constexpr double kTolerance = 0.2;

constexpr std::size_t kFrequencyWord = 1;
constexpr std::size_t kOnceCountWord = 2;
constexpr std::size_t kRepeatCountWord = 3;
constexpr std::size_t kFirstMarkWord = 4;
constexpr std::size_t kFirstSpaceWord = 5;
constexpr std::size_t kGapWord = 71; // the space after an NEC frame's stop mark
constexpr unsigned kCarrierDividend = 4194304;

constexpr double kHitachiGap = 1019;
constexpr double kNecGap = 1584;
constexpr unsigned kPulseFrameMinPairs = 34; // NEC and HITACHI: leader, 32 bits, stop
constexpr unsigned kSharpMinRepeatPairs = 32;

// Reference durations in milliseconds.
constexpr double kNecOneSpace = 1.69;
constexpr double kHitachiOneSpace = 1.65;
constexpr double kSharpOneSpace = 1.68;
constexpr double kSonyOneMark = 1.2;
constexpr double kRc5HalfBit = 0.889;
constexpr double kRc6HalfBit = 0.444;

constexpr int kRc5CollectedBits = 14;
constexpr int kRc5DroppedBits = 3; // two start bits and the toggle bit
constexpr int kRc5CodeBits = 11;
constexpr int kRc6CollectedBits = 19;
constexpr int kRc6CodeBits = 16;
constexpr std::size_t kRc6ModeEndWord = 12;

constexpr int kMaxBits = 32;
using BitBuffer = std::array<uint8_t, kMaxBits>;

// Writes to the trace stream when there is one.
class CTrace
{
  public:
    explicit CTrace(std::ostream* out) : m_pOut(out) {}

    void Line(const char* text)
    {
        if (m_pOut)
            *m_pOut << text << '\n';
    }

    void Text(const char* text)
    {
        if (m_pOut)
            *m_pOut << text;
    }

    void Word(uint16_t word)
    {
        if (!m_pOut)
            return;
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04X ", unsigned(word));
        *m_pOut << buffer;
    }

    void CodeLine(uint32_t code)
    {
        if (!m_pOut)
            return;
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%X \n", unsigned(code));
        *m_pOut << buffer;
    }

  private:
    std::ostream* m_pOut;
};

// trunc(K x t) carrier periods for a reference of t milliseconds.
int ReferencePeriods(int kiloHertz, double milliseconds)
{
    return int(double(kiloHertz) * milliseconds);
}

// Reads n bits from every second word starting at w0: bit i is 1 when its word is
// near the reference. False, with no trace, when the words run out.
bool RunPulseDecoder(const uint16_t* words, std::size_t count, std::size_t w0, int n, int reference,
                     CTrace& trace, uint32_t& code)
{
    if (n <= 0 || n > kMaxBits || w0 + 2 * std::size_t(n - 1) >= count)
        return false;
    BitBuffer bits{};
    trace.Line("---");
    for (int i = 0; i < n; ++i)
    {
        uint16_t word = words[w0 + 2 * std::size_t(i)];
        trace.Word(word);
        bits[std::size_t(i)] = IsNear(word, reference) ? 1 : 0;
    }
    code = PackBits(bits.data(), n, false);
    trace.CodeLine(code);
    return true;
}

// Walks the words from `start`, counting half bits; a word near the half-bit time is
// one half bit, any other duration two. Each full bit collected takes its value from
// the parity of the word's position. Returns the number of bits collected.
int RunBiPhaseDecoder(const uint16_t* words, std::size_t count, std::size_t start, int halfCount, int halfBit,
                      bool oneOnOdd, int wanted, BitBuffer& bits, CTrace& trace)
{
    int collected = 0;
    for (std::size_t w = start, j = 0; w < count && collected < wanted; ++w, ++j)
    {
        halfCount += IsNear(words[w], halfBit) ? 1 : 2;
        if (halfCount >= 2)
        {
            halfCount -= 2;
            bool odd = (j & 1) != 0;
            uint8_t bit = odd == oneOnOdd ? 1 : 0;
            bits[std::size_t(collected++)] = bit;
            trace.Text(bit ? "1" : "0");
        }
    }
    return collected;
}

bool DecodeRc5(const uint16_t* words, std::size_t count, int kiloHertz, CTrace& trace, uint32_t& code)
{
    BitBuffer bits{};
    int halfBit = ReferencePeriods(kiloHertz, kRc5HalfBit);
    int collected =
        RunBiPhaseDecoder(words, count, kFirstMarkWord, 1, halfBit, false, kRc5CollectedBits, bits, trace);
    trace.Text("\n");
    if (collected < kRc5CollectedBits)
        return false;
    code = PackBits(bits.data() + kRc5DroppedBits, kRc5CodeBits, true);
    return true;
}

bool DecodeRc6(const uint16_t* words, std::size_t count, int kiloHertz, CTrace& trace, uint32_t& code)
{
    if (kRc6ModeEndWord >= count)
        return false;
    BitBuffer bits{};
    int halfBit = ReferencePeriods(kiloHertz, kRc6HalfBit);
    // A mode-0 frame whose trailer bit is 1 merges the last mode mark with the
    // trailer's mark into three half bits; decoding then starts at the trailer's space.
    bool merged = IsNear(words[kRc6ModeEndWord], 3 * halfBit);
    std::size_t start = merged ? 13 : 15;
    int collected =
        RunBiPhaseDecoder(words, count, start, merged ? 1 : 0, halfBit, true, kRc6CollectedBits, bits, trace);
    if (collected < kRc6CodeBits)
        return false;
    code = PackBits(bits.data(), kRc6CodeBits, true);
    return true;
}

} // namespace

bool IsNear(double value, double reference)
{
    double a = std::max(value, reference);
    double b = std::min(value, reference);
    if (a == 0)
        return true;
    return (a - b) / a <= kTolerance;
}

uint32_t PackBits(const uint8_t* bits, int n, bool msbFirst)
{
    n = std::clamp(n, 0, kMaxBits);
    uint32_t value = 0;
    for (int i = 0; i < n; ++i)
    {
        if (!bits[i])
            continue;
        int position = msbFirst ? n - 1 - i : i;
        value |= uint32_t(1) << position;
    }
    return value;
}

EIrProtocol ClassifyIrCode(const uint16_t* words, std::size_t count)
{
    if (count <= kFirstSpaceWord)
        return EIrProtocol::Empty;
    uint16_t mark = words[kFirstMarkWord];
    uint16_t space = words[kFirstSpaceWord];
    if (mark == 0 || space == 0)
        return EIrProtocol::Empty;
    double q = double(mark) / double(space);

    if (IsNear(q, 1))
        return EIrProtocol::Rc5;
    if (IsNear(q, 2))
    {
        if (count <= kGapWord)
            return EIrProtocol::Empty;
        uint16_t gap = words[kGapWord];
        if (IsNear(gap, kHitachiGap))
            return EIrProtocol::Hitachi;
        if (IsNear(gap, kNecGap))
            return EIrProtocol::Nec;
        return EIrProtocol::Empty;
    }
    if (IsNear(q, 3))
        return EIrProtocol::Rc6;
    if (IsNear(q, 4))
    {
        // A Sony frame is read from the repeat sequence, or from the once sequence when
        // the repeat sequence is empty (some remotes learn the frame as sent once).
        const uint16_t repeat = words[kRepeatCountWord];
        switch (repeat != 0 ? repeat : words[kOnceCountWord])
        {
        case 13:
            return EIrProtocol::Sony12;
        case 16:
            return EIrProtocol::Sony15;
        case 21:
            return EIrProtocol::Sony20;
        default:
            return EIrProtocol::Empty;
        }
    }
    if (IsNear(q, 1.0 / 7) || IsNear(q, 1.0 / 3))
        return EIrProtocol::Sharp;
    return EIrProtocol::Empty;
}

CIrDecodeResult DecodeIrCode(const uint16_t* words, std::size_t count, std::ostream* trace)
{
    CIrDecodeResult result;
    if (count > kFrequencyWord && words[kFrequencyWord] == 0)
    {
        result.m_eOutcome = EIrDecodeOutcome::NotDecoded;
        return result;
    }
    CTrace out(trace);
    const EIrProtocol protocol = ClassifyIrCode(words, count);
    if (protocol == EIrProtocol::Empty)
    {
        out.Line("----Not know");
        return result;
    }

    // Classification needs words 4 and 5, so words 1 to 3 are present from here on.
    int kiloHertz = int((kCarrierDividend / words[kFrequencyWord]) / 1000);
    std::size_t once = words[kOnceCountWord];
    std::size_t repeat = words[kRepeatCountWord];
    bool decoded = false;
    uint32_t code = 0;
    switch (protocol)
    {
    case EIrProtocol::Nec:
    case EIrProtocol::Hitachi:
        if (protocol == EIrProtocol::Nec) // HITACHI has no protocol line
            out.Line("----NEC");
        if (once + repeat < kPulseFrameMinPairs)
        {
            out.Line("***NULL***");
            break;
        }
        decoded = RunPulseDecoder(
            words, count, 7, 32,
            ReferencePeriods(kiloHertz, protocol == EIrProtocol::Nec ? kNecOneSpace : kHitachiOneSpace), out,
            code);
        break;
    case EIrProtocol::Rc5:
        out.Line("----RC5");
        decoded = DecodeRc5(words, count, kiloHertz, out, code);
        break;
    case EIrProtocol::Rc6:
        out.Line("----RC6");
        decoded = DecodeRc6(words, count, kiloHertz, out, code);
        break;
    case EIrProtocol::Sharp:
        out.Line("----SHARP");
        if (repeat < kSharpMinRepeatPairs)
            break;
        decoded = RunPulseDecoder(words, count, 2 * once + 5, 15, ReferencePeriods(kiloHertz, kSharpOneSpace),
                                  out, code);
        break;
    default: // the three Sony lengths
        out.Line("----Sony");
        // Without a repeat sequence the frame is the whole once sequence (classification
        // saw to its length): its first pair is the leader, as in the repeat sequence.
        if (repeat == 0)
            decoded = RunPulseDecoder(words, count, 6, int(once) - 1,
                                      ReferencePeriods(kiloHertz, kSonyOneMark), out, code);
        else
            decoded = RunPulseDecoder(words, count, 2 * once + 6, int(repeat) - 1,
                                      ReferencePeriods(kiloHertz, kSonyOneMark), out, code);
        break;
    }
    if (decoded)
    {
        result.m_eOutcome = EIrDecodeOutcome::Accepted;
        result.m_eProtocol = protocol;
        result.m_nCode = code;
    }
    return result;
}

CIrDecodeResult DecodeIrCode(const uint16_t* words, std::size_t count)
{
    return DecodeIrCode(words, count, &std::cout);
}

CIrDecodeResult DecodeIrCode(const std::vector<uint16_t>& words, std::ostream* trace)
{
    return DecodeIrCode(words.data(), words.size(), trace);
}

CIrDecodeResult DecodeIrCode(const std::vector<uint16_t>& words)
{
    return DecodeIrCode(words.data(), words.size(), &std::cout);
}

} // namespace corvalin
