#pragma once
// The ASSIGNMENT arguments of "corvalin-cli set": LABEL=VALUE or #SLOT=VALUE,
// resolved against the display list and read by the parameter's type the way the
// value entry dialog reads it.

#include "image/ImageHeader.h"
#include "params/DisplayList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvalin::cli
{

struct CAssignment
{
    std::string m_strTarget; // the label, or the slot number after '#'
    bool m_bBySlot = false;
    std::string m_strValue;
};

// Splits "TARGET=VALUE" at its last '='; false with an error text when malformed.
bool ParseAssignment(const std::string& text, CAssignment& assignment, std::string& error);

// The slot an assignment names: the first display line with that label, or a slot
// that the list walk visits and whose identifier is not 0 (so IR button slots can
// be set too). False with an error text otherwise.
bool ResolveAssignmentSlot(const CAssignment& assignment, const ImageHeader& header, const CDisplayList& list,
                           int& slot, std::string& error);

// The new value of parameter `id` from VALUE: decimal for types 3 and 6, hex for 5,
// a model name or index for "Volvo Model", on/off for switches. Type 4 is refused
// with "Short change".
bool ReadAssignmentValue(uint32_t id, const std::string& text, uint32_t& value, std::string& error);

// Resolves and reads every assignment against `header`, appending (slot, value) to
// `changes` in their order. False with the first error text otherwise.
bool ResolveAssignments(const CParameterTable& table, const ImageHeader& header,
                        const std::vector<CAssignment>& assignments,
                        std::vector<std::pair<int, uint32_t>>& changes, std::string& error);

// Resolves and reads every assignment before it changes anything, then sets them all:
// a bad one leaves `header` as it was. False with the first error text otherwise.
bool ApplyAssignments(ImageHeader& header, const std::vector<CAssignment>& assignments, std::string& error);

} // namespace corvalin::cli
