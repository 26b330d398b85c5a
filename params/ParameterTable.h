#pragma once
// The fixed table of known configuration parameters and the identifier encoding.
//
// Identifier bits: 28-31 parameter type, 16-27 parameter group, 0-15 index.
// Types: 1 switch, 3 decimal, 4 short hex, 5 hex, 6 choice.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvalin
{

constexpr std::size_t kLabelWidth = 46;
constexpr std::size_t kParameterTableRows = 56;

constexpr uint32_t kTypeSwitch = 1;
constexpr uint32_t kTypeDecimal = 3;
constexpr uint32_t kTypeShortHex = 4;
constexpr uint32_t kTypeHex = 5;
constexpr uint32_t kTypeChoice = 6;

constexpr uint32_t kIrButtonParameterBase = 0x50160001u; // "IR.BTN1"; key k is base + k
constexpr uint32_t kIrTypeParameter = 0x60150003u;       // "IR TYPE"

constexpr uint32_t ParameterType(uint32_t id)
{
    return id >> 28;
}
constexpr uint32_t ParameterGroup(uint32_t id)
{
    return (id >> 16) & 0xFFFu;
}
constexpr bool IsIrButtonParameter(uint32_t id)
{
    return (id >> 16) == 0x5016u;
}
constexpr bool IsVolvoModelParameter(uint32_t id)
{
    return (id >> 16) == 0x601Au;
}

// Volvo model names for type-6 identifiers of group 01A, indexed by the value.
extern const std::array<const char*, 12> kVolvoModelNames;

// Two parallel arrays: the labels, each padded with blanks to 46 characters, and
// the identifiers, in the table's fixed order.
struct CParameterTable
{
    std::vector<std::string> m_labels;
    std::vector<uint32_t> m_ids;
};

void BuildParameterTable(CParameterTable& table);

// Pads a label with blanks to the fixed label width.
std::string PadLabel(const std::string& label);

// A label without the blanks that pad it.
std::string TrimLabel(const std::string& label);

} // namespace corvalin
