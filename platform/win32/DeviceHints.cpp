#include "platform/DeviceHints.h"

namespace corvalin::platform
{

// Windows publishes the bridge's port only once its driver is installed, and a missing
// driver looks the same as no bridge, so the hint is always worth giving.
std::string NoBridgeHint(const std::filesystem::path&)
{
    return "if the box is plugged in, the CP210x USB-to-UART bridge driver may be missing; "
           "Windows 10 and 11 fetch it through Windows Update";
}

// A COM port has no group to join, and a port another program holds is refused as
// access denied, which counts as busy; any other refusal comes from the driver.
std::string PortPermissionHint(const std::string& errorText)
{
    return "no permission to open the port (" + errorText +
           "); check in Device Manager under \"Ports (COM & LPT)\" that the port works, then "
           "replug the box";
}

} // namespace corvalin::platform
