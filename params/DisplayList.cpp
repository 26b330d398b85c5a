#include "params/DisplayList.h"

#include <cstdio>

namespace corvalin
{

namespace
{

template <typename... Args> std::string Format(const char* format, Args... args)
{
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::string FormatParameterValue(uint32_t id, uint32_t value)
{
    switch (ParameterType(id))
    {
    case kTypeSwitch:
        return value != 0 ? "ON" : "off";
    case kTypeDecimal:
        return Format("%3.3d", int32_t(value));
    case kTypeShortHex:
        return Format("$%4.4X", unsigned(value));
    case kTypeHex:
        return Format("$%8.8X", unsigned(value));
    case kTypeChoice:
        if (IsVolvoModelParameter(id))
            return value < kVolvoModelNames.size() ? kVolvoModelNames[value] : Format("%d", int32_t(value));
        return Format("$%8.8X", unsigned(value));
    default:
        return "";
    }
}

std::string FormatParameterLine(const std::string& label, uint32_t id, uint32_t value)
{
    return label + " :   " + FormatParameterValue(id, value);
}

int CountWalkedSlots(const ImageHeader& header)
{
    int count = 1;
    while (count < kParamSlots && GetParamId(header, count) != 0)
        ++count;
    return count;
}

CDisplayList BuildDisplayList(const CParameterTable& table, const ImageHeader& header)
{
    CDisplayList list;
    const int walked = CountWalkedSlots(header);
    for (int slot = 0; slot < walked; ++slot)
    {
        uint32_t id = GetParamId(header, slot);
        if (!IsIrButtonParameter(id))
        {
            for (std::size_t row = 0; row < table.m_ids.size(); ++row)
            {
                if (table.m_ids[row] != id)
                    continue;
                list.m_lines.push_back(
                    FormatParameterLine(table.m_labels[row], id, GetParamValue(header, slot)));
                list.m_slots.push_back(slot);
            }
        }
    }
    return list;
}

} // namespace corvalin
