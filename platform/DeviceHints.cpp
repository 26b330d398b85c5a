#include "platform/DeviceHints.h"

namespace corvalin::platform
{

std::string PortAccessHint(SerialError error, const std::string& errorText)
{
    switch (error)
    {
    case SerialError::Permission:
        return PortPermissionHint(errorText);
    case SerialError::Busy:
        return "the port is in use by another program (" + errorText + "); close it and try again";
    default:
        return {};
    }
}

} // namespace corvalin::platform
