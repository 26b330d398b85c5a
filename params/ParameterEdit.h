#pragma once
// What a double-click on a parameter line does, decided by the parameter's
// identifier, and the value entry dialog's rules, without any widget.

#include "image/ImageHeader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvalin
{

enum class EditKind
{
    None,        // types without an editing rule: nothing happens
    Toggle,      // switch: 0 becomes 1, anything else 0
    Decimal,     // value entry dialog, decimal entry
    Hex,         // value entry dialog, hexadecimal entry
    VolvoModel,  // value entry dialog, choice of a Volvo model name
    ShortChange, // refused with the message "Short change"
};

EditKind EditKindFor(uint32_t id);

constexpr const char* kShortChangeMessage = "Short change";

// The value entry dialog's input and output.
struct CValueEntry
{
    int32_t m_nValue = 0;
    int m_bHex = 0;
    int m_bChoice = 0;
    std::vector<std::string> m_choices;
};

// Prepares the dialog for a parameter of this kind and current value (Decimal, Hex
// or VolvoModel). A Volvo value above 11, read as signed, opens at the first model;
// a negative one is passed on and selects nothing.
CValueEntry PrepareValueEntry(EditKind kind, uint32_t value);

// The edit box's initial text: "%X" in hexadecimal entry, "%d" otherwise.
std::string ValueEntryText(const CValueEntry& entry);

// The dialog's OK: reads the typed text (hex wins over choice) or takes the chosen
// index (-1 when nothing is chosen) into m_nValue.
void AcceptValueEntry(CValueEntry& entry, const std::string& typedText, int chosenIndex);

// Whether the editing rules can give parameter `id` the value `value`: any value for
// decimal and hexadecimal entry, 0 or 1 for a switch (what a toggle gives), a model
// index or FFFFFFFF (the chooser left without a choice) for "Volvo Model"; short hex
// numbers are refused with "Short change" and types without a rule are never changed.
// False with an error text otherwise.
bool IsEditableValue(uint32_t id, uint32_t value, std::string& error);

// Why no value can be given to a parameter of `kind` (ShortChange, None): the text a
// refused edit reports.
std::string UneditableReason(EditKind kind);

// The toggle of a switch value.
constexpr uint32_t ToggledSwitchValue(uint32_t value)
{
    return value == 0 ? 1u : 0u;
}

} // namespace corvalin
