#include "platform/SerialPortMap.h"

#include "platform/SerialPort.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <string>

namespace corvalin::platform
{

namespace
{

constexpr DWORD kValueBufferBytes = 2048;

} // namespace

std::optional<CMappedPort> LookupSerialPort(const std::string& driverDevice)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;

    wchar_t value[kValueBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD size = kValueBufferBytes;
    LONG result = RegQueryValueExW(key, Widen(driverDevice).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    // The stored text need not end with a NUL.
    value[std::min<DWORD>(size, kValueBufferBytes) / sizeof(wchar_t)] = L'\0';

    // A value that names no COM port ("COMx", "LPT1", "COM0") means no bridge: there
    // is nothing to open.
    std::optional<int> number = ParseComPortNumber(Narrow(value));
    if (!number || *number == 0)
        return std::nullopt;
    std::string name = "COM" + std::to_string(*number);
    return CMappedPort{"\\\\.\\" + name, name};
}

} // namespace corvalin::platform
