#pragma once
// The IR protocols a decoded code can belong to, and their display names.

#include <array>

namespace corvalin
{

enum EIrProtocol : int
{
    kIrEmpty = 0, // no code: the state of a function nothing is assigned to
    kIrNec = 1,
    kIrRc5 = 2,
    kIrRc6 = 3,
    kIrSharp = 4,
    kIrSony12 = 5,
    kIrSony15 = 6,
    kIrSony20 = 7,
    kIrHitachi = 8,
};

constexpr int kIrProtocolCount = 9;

// Display names indexed by protocol value.
constexpr std::array<const char*, kIrProtocolCount> kIrProtocolNames = {
    "EMPTY", "NEC", "RC5", "RC6", "SHARP", "SONY12", "SONY15", "SONY20", "HITACHI"};

// The name of a protocol value; "EMPTY" for a value outside 0 to 8, so a display
// never indexes past the table.
inline const char* IrProtocolName(int protocol)
{
    return protocol >= 0 && protocol < kIrProtocolCount ? kIrProtocolNames[std::size_t(protocol)] : "EMPTY";
}

} // namespace corvalin
