#include "platform/SerialPortMap.h"

#include "platform/SerialPort.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>

namespace corvalin::platform
{

namespace
{

constexpr DWORD kValueBufferBytes = 2048;
// Value names are short ("\Device\Silabser0"); a longer one is no bridge of ours.
constexpr DWORD kNameChars = 256;
constexpr std::wstring_view kDevicePrefix = L"\\Device\\";

// The SERIALCOMM key, open for reading, or nullptr when there is none.
HKEY OpenSerialComm()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

// The port a SERIALCOMM value names. A value that names no COM port ("COMx", "LPT1",
// "COM0") means no bridge: there is nothing to open.
std::optional<CMappedPort> PortOfValue(DWORD type, wchar_t* value, DWORD size)
{
    if (type != REG_SZ)
        return std::nullopt;
    // The stored text need not end with a NUL.
    value[std::min<DWORD>(size, kValueBufferBytes) / sizeof(wchar_t)] = L'\0';
    std::optional<int> number = ParseComPortNumber(Narrow(value));
    if (!number || *number == 0)
        return std::nullopt;
    std::string name = "COM" + std::to_string(*number);
    return CMappedPort{"\\\\.\\" + name, name};
}

// The USB location SetupAPI gives each present port ("Port_#0003.Hub_#0001"), by its
// COM name. Drivers need not give one, and Wine gives none: such ports are missing.
std::map<std::string, std::string> PortLocations()
{
    std::map<std::string, std::string> locations;
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return locations;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i)
    {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t portName[kNameChars] = {};
        DWORD type = 0;
        DWORD size = sizeof portName - sizeof(wchar_t);
        const LONG read =
            RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName), &size);
        RegCloseKey(key);
        if (read != ERROR_SUCCESS || type != REG_SZ)
            continue;
        wchar_t location[kNameChars] = {};
        if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_LOCATION_INFORMATION, nullptr,
                                               reinterpret_cast<BYTE*>(location),
                                               sizeof location - sizeof(wchar_t), nullptr) ||
            location[0] == L'\0')
            continue;
        locations[Narrow(portName)] = Narrow(location);
    }
    SetupDiDestroyDeviceInfoList(devices);
    return locations;
}

} // namespace

std::optional<CMappedPort> LookupSerialPort(const std::string& driverDevice)
{
    HKEY key = OpenSerialComm();
    if (!key)
        return std::nullopt;
    wchar_t value[kValueBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD size = kValueBufferBytes;
    LONG result = RegQueryValueExW(key, Widen(driverDevice).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return PortOfValue(type, value, size);
}

std::vector<CBridgePort> ListBridgePorts()
{
    std::vector<CBridgePort> bridges;
    HKEY key = OpenSerialComm();
    if (!key)
        return bridges;
    for (DWORD i = 0;; ++i)
    {
        wchar_t name[kNameChars] = {};
        DWORD nameChars = kNameChars;
        wchar_t value[kValueBufferBytes / sizeof(wchar_t) + 1] = {};
        DWORD type = 0;
        DWORD size = kValueBufferBytes;
        LONG result =
            RegEnumValueW(key, i, name, &nameChars, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue; // a name or value too long for us: not a bridge
        std::wstring_view device(name, nameChars);
        if (device.substr(0, kDevicePrefix.size()) != kDevicePrefix)
            continue;
        std::optional<int> index =
            ParseBridgeIndex(Narrow(std::wstring(device.substr(kDevicePrefix.size()))));
        if (!index)
            continue;
        if (std::optional<CMappedPort> port = PortOfValue(type, value, size))
            bridges.push_back(CBridgePort{*index, Narrow(std::wstring(device)), *port, {}, {}});
    }
    RegCloseKey(key);
    if (!bridges.empty())
    {
        const std::map<std::string, std::string> locations = PortLocations();
        for (CBridgePort& bridge : bridges)
        {
            auto found = locations.find(bridge.m_port.m_strName);
            if (found != locations.end())
                bridge.m_strLocation = found->second;
        }
    }
    std::sort(bridges.begin(), bridges.end(),
              [](const CBridgePort& a, const CBridgePort& b) { return a.m_nIndex < b.m_nIndex; });
    return bridges;
}

} // namespace corvalin::platform
