#pragma once
// The name of this computer on its network, as records name the station that wrote them.

#include <string>

namespace corvalin::platform
{

// The host name ("bench-2"), or "" when the system does not give one.
std::string HostName();

} // namespace corvalin::platform
