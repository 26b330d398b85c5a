#pragma once
// Turns one learned IR code, as Pronto code words, into the box's 32-bit IR code.
//
// Pronto code words (16-bit each):
//   word 0      format, not examined
//   word 1      frequency word F: carrier = 4194304 / F Hz
//   word 2      once count: burst pairs in the once sequence
//   word 3      repeat count: burst pairs in the repeat sequence
//   word 4...   burst pairs (mark, space) in carrier periods, once sequence first
//
// The code is classified by the mark/space ratio of its first burst pair, then the
// protocol's pulse or bi-phase decoder reads the durations. A Sony frame is read from
// the repeat sequence, or from the once sequence when that holds exactly the frame and
// the repeat sequence is empty. Nothing is read past the last word: a decoder whose
// words run out rejects the code.

#include "ir/IrProtocol.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

namespace corvalin
{

enum class EIrDecodeOutcome
{
    Accepted,   // m_eProtocol NEC to HITACHI and m_nCode are set
    Rejected,   // no protocol matched, or its decoder refused the code
    NotDecoded, // frequency word 0: the code carries no carrier and is not examined
};

struct CIrDecodeResult
{
    EIrDecodeOutcome m_eOutcome = EIrDecodeOutcome::Rejected;
    EIrProtocol m_eProtocol = EIrProtocol::Empty;
    uint32_t m_nCode = 0;
};

// The tolerance every comparison of durations and ratios uses: with a the larger and
// b the smaller of the two, value is near reference when (a - b) / a <= 0.2. 0 is near 0.
bool IsNear(double value, double reference);

// Packs n bits (each 0 or 1) into a value: the first bit is the least significant
// one unless msbFirst, then it is the most significant. n is clamped to 0..32.
uint32_t PackBits(const uint8_t* bits, int n, bool msbFirst);

// The protocol the first burst pair (and, for two branches, word 71 or the repeat
// count, or the once count when there is no repeat sequence) points to;
// EIrProtocol::Empty when none. Writes no trace.
EIrProtocol ClassifyIrCode(const uint16_t* words, std::size_t count);

// Classifies and decodes one code. The diagnostic trace goes to `trace` (standard
// output by default; nullptr discards it).
CIrDecodeResult DecodeIrCode(const uint16_t* words, std::size_t count, std::ostream* trace);
CIrDecodeResult DecodeIrCode(const uint16_t* words, std::size_t count);
CIrDecodeResult DecodeIrCode(const std::vector<uint16_t>& words, std::ostream* trace);
CIrDecodeResult DecodeIrCode(const std::vector<uint16_t>& words);

} // namespace corvalin
