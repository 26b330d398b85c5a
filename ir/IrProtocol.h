#pragma once
// The IR protocols a decoded code can belong to, and their display names.

#include <array>

namespace corvalin
{

enum class EIrProtocol : int
{
    Empty = 0, // no code: the state of a function nothing is assigned to
    Nec = 1,
    Rc5 = 2,
    Rc6 = 3,
    Sharp = 4,
    Sony12 = 5,
    Sony15 = 6,
    Sony20 = 7,
    Hitachi = 8,
};

constexpr int kIrProtocolCount = 9;

// Display names indexed by protocol value.
constexpr std::array<const char*, kIrProtocolCount> kIrProtocolNames = {
    "EMPTY", "NEC", "RC5", "RC6", "SHARP", "SONY12", "SONY15", "SONY20", "HITACHI"};

// The name of a protocol; "EMPTY" for a value outside 0 to 8, so a display never
// indexes past the table.
inline const char* IrProtocolName(EIrProtocol protocol)
{
    const int value = int(protocol);
    return value >= 0 && value < kIrProtocolCount ? kIrProtocolNames[std::size_t(value)] : "EMPTY";
}

} // namespace corvalin
