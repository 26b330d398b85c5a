#include "platform/DeviceHints.h"

namespace corvalin::platform
{

std::string PortAccessHint(ESerialError error, const std::string& errorText)
{
    switch (error)
    {
    case ESerialError::Permission:
        return PortPermissionHint(errorText);
    case ESerialError::Busy:
        return "the port is in use by another program (" + errorText + "); close it and try again";
    default:
        return {};
    }
}

} // namespace corvalin::platform
