#include "cli/Assignment.h"

#include "params/NumberReaders.h"
#include "params/ParameterEdit.h"
#include "params/ParameterTable.h"

#include <algorithm>
#include <cctype>

namespace corvalin::cli
{

namespace
{

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool IsAllDigits(const std::string& text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

bool ParseAssignment(const std::string& text, CAssignment& assignment, std::string& error)
{
    std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
    {
        error = "'" + text + "' is not LABEL=VALUE or #SLOT=VALUE";
        return false;
    }
    assignment.m_strValue = text.substr(equals + 1);
    assignment.m_strTarget = text.substr(0, equals);
    assignment.m_bBySlot = assignment.m_strTarget[0] == '#';
    if (assignment.m_bBySlot)
    {
        assignment.m_strTarget.erase(0, 1);
        if (!IsAllDigits(assignment.m_strTarget) || assignment.m_strTarget.size() > 2)
        {
            error = "'" + text + "': a slot is a number from 0 to 49";
            return false;
        }
    }
    return true;
}

bool ResolveAssignmentSlot(const CAssignment& assignment, const ImageHeader& header, const CDisplayList& list,
                           int& slot, std::string& error)
{
    if (assignment.m_bBySlot)
    {
        int wanted = std::stoi(assignment.m_strTarget);
        if (wanted >= CountWalkedSlots(header) || GetParamId(header, wanted) == 0)
        {
            error = "slot " + assignment.m_strTarget + " is not in the parameter list";
            return false;
        }
        slot = wanted;
        return true;
    }
    for (std::size_t i = 0; i < list.m_lines.size(); ++i)
    {
        if (TrimLabel(list.m_lines[i].substr(0, kLabelWidth)) == assignment.m_strTarget)
        {
            slot = list.m_slots[i];
            return true;
        }
    }
    error = "no parameter labelled '" + assignment.m_strTarget + "' in the parameter list";
    return false;
}

bool ReadAssignmentValue(uint32_t id, const std::string& text, uint32_t& value, std::string& error)
{
    const EditKind kind = EditKindFor(id);
    switch (kind)
    {
    case EditKind::Toggle:
    {
        std::string word = Lower(text);
        if (word != "on" && word != "off")
        {
            error = "a switch takes 'on' or 'off', not '" + text + "'";
            return false;
        }
        value = word == "on" ? 1u : 0u;
        return true;
    }
    case EditKind::Decimal:
        value = uint32_t(ReadDecimalNumber(text));
        return true;
    case EditKind::Hex:
        value = uint32_t(ReadHexNumber(text));
        return true;
    case EditKind::VolvoModel:
    {
        for (std::size_t i = 0; i < kVolvoModelNames.size(); ++i)
        {
            if (Lower(kVolvoModelNames[i]) == Lower(text))
            {
                value = uint32_t(i);
                return true;
            }
        }
        if (IsAllDigits(text) && text.size() <= 2 && std::stoul(text) < kVolvoModelNames.size())
        {
            value = uint32_t(std::stoul(text));
            return true;
        }
        error = "'" + text + "' is not a Volvo model (C30 ... XC90, or 0 to 11)";
        return false;
    }
    case EditKind::ShortChange:
    case EditKind::None:
        break;
    }
    error = UneditableReason(kind);
    return false;
}

bool ResolveAssignments(const CParameterTable& table, const ImageHeader& header,
                        const std::vector<CAssignment>& assignments,
                        std::vector<std::pair<int, uint32_t>>& changes, std::string& error)
{
    CDisplayList list = BuildDisplayList(table, header);
    for (const CAssignment& assignment : assignments)
    {
        int slot = 0;
        uint32_t value = 0;
        if (!ResolveAssignmentSlot(assignment, header, list, slot, error) ||
            !ReadAssignmentValue(GetParamId(header, slot), assignment.m_strValue, value, error))
            return false;
        changes.emplace_back(slot, value);
    }
    return true;
}

bool ApplyAssignments(ImageHeader& header, const std::vector<CAssignment>& assignments, std::string& error)
{
    CParameterTable table;
    BuildParameterTable(table);
    std::vector<std::pair<int, uint32_t>> changes;
    if (!ResolveAssignments(table, header, assignments, changes, error))
        return false;
    for (const auto& [slot, value] : changes)
        SetParamValue(header, slot, value);
    return true;
}

} // namespace corvalin::cli
