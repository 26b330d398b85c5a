#include "platform/SerialPortMap.h"

#include <algorithm>
#include <string_view>

namespace corvalin::platform
{

namespace
{

constexpr std::string_view kBridgeName = "Silabser";
constexpr std::size_t kMaxIndexDigits = 3;

} // namespace

std::optional<int> ParseBridgeIndex(const std::string& entry)
{
    if (entry.compare(0, kBridgeName.size(), kBridgeName) != 0)
        return std::nullopt;
    std::string_view digits = std::string_view(entry).substr(kBridgeName.size());
    if (digits.empty() || digits.size() > kMaxIndexDigits ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int index = 0;
    for (char c : digits)
        index = index * 10 + (c - '0');
    return index;
}

std::string BridgeDeviceName(int index)
{
    return "\\Device\\" + std::string(kBridgeName) + std::to_string(index);
}

std::string BridgeIdentity(const CBridgePort& bridge)
{
    if (!bridge.m_strLocation.empty())
        return "usb:" + bridge.m_strLocation;
    return bridge.m_port.m_strName.empty() ? bridge.m_strDevice : bridge.m_port.m_strName;
}

} // namespace corvalin::platform
