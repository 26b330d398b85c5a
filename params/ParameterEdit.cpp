#include "params/ParameterEdit.h"

#include "params/NumberReaders.h"
#include "params/ParameterTable.h"

#include <cstdio>

namespace corvalin
{

EditKind EditKindFor(uint32_t id)
{
    switch (ParameterType(id))
    {
    case kTypeSwitch:
        return EditKind::Toggle;
    case kTypeDecimal:
        return EditKind::Decimal;
    case kTypeShortHex:
        return EditKind::ShortChange;
    case kTypeHex:
        return EditKind::Hex;
    case kTypeChoice:
        // Other choice groups ("Vehicle Make", "IR TYPE") are typed in decimal,
        // although the list shows them in hexadecimal.
        return IsVolvoModelParameter(id) ? EditKind::VolvoModel : EditKind::Decimal;
    default:
        return EditKind::None;
    }
}

CValueEntry PrepareValueEntry(EditKind kind, uint32_t value)
{
    CValueEntry entry;
    entry.m_nValue = int32_t(value);
    if (kind == EditKind::Hex)
        entry.m_bHex = 1;
    if (kind == EditKind::VolvoModel)
    {
        entry.m_bChoice = 1;
        entry.m_choices.assign(kVolvoModelNames.begin(), kVolvoModelNames.end());
        if (entry.m_nValue > 11)
            entry.m_nValue = 0;
    }
    return entry;
}

std::string ValueEntryText(const CValueEntry& entry)
{
    char text[16];
    if (entry.m_bHex)
        std::snprintf(text, sizeof text, "%X", unsigned(entry.m_nValue));
    else
        std::snprintf(text, sizeof text, "%d", entry.m_nValue);
    return text;
}

void AcceptValueEntry(CValueEntry& entry, const std::string& typedText, int chosenIndex)
{
    if (entry.m_bHex)
        entry.m_nValue = ReadHexNumber(typedText);
    else if (entry.m_bChoice)
        entry.m_nValue = chosenIndex;
    else
        entry.m_nValue = ReadDecimalNumber(typedText);
}

std::string UneditableReason(EditKind kind)
{
    return kind == EditKind::ShortChange ? kShortChangeMessage : "this parameter cannot be changed";
}

bool IsEditableValue(uint32_t id, uint32_t value, std::string& error)
{
    const EditKind kind = EditKindFor(id);
    switch (kind)
    {
    case EditKind::Toggle:
        if (value == 0 || value == 1)
            return true;
        error = "a switch is 0 (off) or 1 (on), not " + std::to_string(value);
        return false;
    case EditKind::Decimal:
    case EditKind::Hex:
        return true;
    case EditKind::VolvoModel:
        if (value < kVolvoModelNames.size() || value == 0xFFFFFFFFu)
            return true;
        error = "a Volvo model is 0 to 11 (C30 ... XC90), not " + std::to_string(value);
        return false;
    case EditKind::ShortChange:
    case EditKind::None:
        break;
    }
    error = UneditableReason(kind);
    return false;
}

} // namespace corvalin
