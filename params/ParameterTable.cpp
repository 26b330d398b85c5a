#include "params/ParameterTable.h"

namespace corvalin
{

const std::array<const char*, 12> kVolvoModelNames = {
    "C30", "C70", "S40", "S60", "S70", "S80", "V40", "V50", "V70", "XC60", "XC70", "XC90",
};

namespace
{

struct Row
{
    uint32_t id;
    const char* label;
};

// The rows in their fixed order; "IR.BTN0" is index 0A, after "IR.BTN9".
constexpr Row kRows[kParameterTableRows] = {
    {0x10010001, "Video in motion; address input in motion"},
    {0x10010002, "REN Radio"},
    {0x10020001, "VES emulation"},
    {0x10020002, "VES DVD source"},
    {0x10020003, "VES AUX1 source"},
    {0x10020004, "VES AUX2 source"},
    {0x10030001, "Rear view camera"},
    {0x10030002, "Double click to force the camera"},
    {0x10030003, "12V output when camera is forced"},
    {0x10030004, "Front view camera"},
    {0x10030005, "Front view camera V1"},
    {0x10030006, "Front view camera V2"},
    {0x30030007, "Front view camera V1 activates on MPH >"},
    {0x30030008, "Front view camera V2 activates on MPH <"},
    {0x601A0001, "Volvo Model"},
    {0x10040001, "UConnect/Voice recognition"},
    {0x30120001, "CH0.Volume"},
    {0x30120002, "CH0.Bass"},
    {0x30120003, "CH0.Treble"},
    {0x30120004, "CH0.Balance"},
    {0x30120005, "CH0.Fader"},
    {0x30130001, "CH1.Volume"},
    {0x30130002, "CH1.Bass"},
    {0x30130003, "CH1.Treble"},
    {0x30130004, "CH1.Balance"},
    {0x30130005, "CH1.Fader"},
    {0x30140001, "CH2.Volume"},
    {0x30140002, "CH2.Bass"},
    {0x30140003, "CH2.Treble"},
    {0x30140004, "CH2.Balance"},
    {0x30140005, "CH2.Fader"},
    {0x60050001, "Vehicle Make"},
    {0x10150001, "IR.Modulation"},
    {0x10150002, "IR.NotModulatedInverted"},
    {0x50160001, "IR.BTN1"},
    {0x50160002, "IR.BTN2"},
    {0x50160003, "IR.BTN3"},
    {0x50160004, "IR.BTN4"},
    {0x50160005, "IR.BTN5"},
    {0x50160006, "IR.BTN6"},
    {0x50160007, "IR.BTN7"},
    {0x50160008, "IR.BTN8"},
    {0x50160009, "IR.BTN9"},
    {0x5016000A, "IR.BTN0"},
    {0x5016000B, "IR.BTN |<<"},
    {0x5016000C, "IR.BTN >>|"},
    {0x5016000D, "IR.BTN <<"},
    {0x5016000E, "IR.BTN >>"},
    {0x30170001, "TV System 0-NTSC 1-PAL"},
    {0x50050003, "Network Shutdown delay in mSec (hex)"},
    {0x100B0001, "Filter"},
    {0x30060001, "Starting node"},
    {0x30060002, "Starting sink"},
    {0x10060003, "Fix amplifier bug"},
    {0x60150003, "IR TYPE"},
    {0x10150004, "ALPINE MODE"},
};

} // namespace

std::string PadLabel(const std::string& label)
{
    std::string padded = label;
    if (padded.size() < kLabelWidth)
        padded.append(kLabelWidth - padded.size(), ' ');
    return padded;
}

std::string TrimLabel(const std::string& label)
{
    std::size_t end = label.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : label.substr(0, end + 1);
}

void BuildParameterTable(CParameterTable& table)
{
    table.m_labels.clear();
    table.m_ids.clear();
    for (const Row& row : kRows)
    {
        table.m_labels.push_back(PadLabel(row.label));
        table.m_ids.push_back(row.id);
    }
}

} // namespace corvalin
