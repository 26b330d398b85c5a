#pragma once
// What keeps the user from the box's USB bridge, and what to do about it, as one
// sentence each. corvalin-cli prints them after "hint: "; the window shows them as the
// device field's tooltip. The causes differ by operating system (posix/, win32/).

#include "platform/SerialPort.h"

#include <filesystem>
#include <string>

namespace corvalin::platform
{

// Where Linux publishes its devices; tests hand the scan a tree of their own.
constexpr const char* kSysfsRoot = "/sys";

// For a serial-port map without the bridge: what may keep a plugged-in bridge out of
// it, or "" when nothing is known. Linux: a CP210x (USB 10c4:ea60) under
// `sysfsRoot`/bus/usb/devices none of whose interfaces has a ttyUSB, which mostly
// means that brltty took it; no such device means no box is plugged in. Windows: the
// bridge's driver may be missing, which the system does not tell apart from no box.
std::string NoBridgeHint(const std::filesystem::path& sysfsRoot = kSysfsRoot);

// Why the port could not be opened and what to do, for a lack of permission or a port
// another program holds; `errorText` is the system's text for the failure. "" for
// every other error.
std::string PortAccessHint(ESerialError error, const std::string& errorText);

// The part of PortAccessHint that differs by operating system: how to get the right
// to open the port.
std::string PortPermissionHint(const std::string& errorText);

} // namespace corvalin::platform
