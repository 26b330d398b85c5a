#include "platform/HostName.h"

#include "platform/win32/WideText.h"

#include <windows.h>

namespace corvalin::platform
{

std::string HostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return {};
    return Narrow(std::wstring(name, size));
}

} // namespace corvalin::platform
