#pragma once
// The lines of the main window's parameter list and the slot each line shows.

#include "image/ImageHeader.h"
#include "params/ParameterTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvalin
{

struct CDisplayList
{
    std::vector<std::string> m_lines;
    std::vector<int> m_slots; // m_slots[i] is the parameter-list slot of line i
};

// The value text of one parameter by its type ("ON", "005", "$0000000A", "XC90"...).
std::string FormatParameterValue(uint32_t id, uint32_t value);

// One list line: the padded label, " :   ", then the value text.
std::string FormatParameterLine(const std::string& label, uint32_t id, uint32_t value);

// The number of slots the list walk visits: from slot 0 up to slot 49 or up to the
// first later slot whose identifier is 0.
int CountWalkedSlots(const ImageHeader& header);

// Walks the slots from 0: slot 0 always, then on until slot 49 or a 0 identifier;
// the terminator does not stop the walk, IR button parameters are skipped, and
// every table row that matches a slot's identifier gives one line.
CDisplayList BuildDisplayList(const CParameterTable& table, const ImageHeader& header);

} // namespace corvalin
