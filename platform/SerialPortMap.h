#pragma once
// The operating system's map from serial driver device names to ports.
//
// Windows: the values of HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, e.g.
// "\Device\Silabser0" = "COM5", with the USB location SetupAPI gives for that port.
// Linux: the ttyUSB devices bound to the cp210x driver
// (/sys/bus/usb-serial/drivers/cp210x/ttyUSB<n>) in order of n; "\Device\Silabser<i>"
// is the i-th, and each has the USB location and the enumeration of the device it
// belongs to. The environment variable CORVALIN_SYSTEM_ROOT moves "/" for those
// looks (its sys/ and dev/ folders are read instead), so tests can build a system of
// their own. When CORVALIN_SERIAL_MAP names a directory, that directory is the map
// instead: an entry "Silabser0" (a symbolic link to a device node, such as a
// pseudo-terminal) is the port of "\Device\Silabser0".

#include <optional>
#include <string>
#include <vector>

namespace corvalin::platform
{

constexpr const char* kFirstBridgeDevice = "\\Device\\Silabser0";
constexpr const char* kSerialMapVariable = "CORVALIN_SERIAL_MAP";
constexpr const char* kSystemRootVariable = "CORVALIN_SYSTEM_ROOT";

struct CMappedPort
{
    std::string m_strPath; // what to open: "\\.\COM5", "/dev/ttyUSB0", "/dev/pts/7"
    std::string m_strName; // what the port list shows: "COM5", "ttyUSB0", "pts/7"
};

struct CBridgePort
{
    int m_nIndex = 0;        // the i of "\Device\Silabser<i>"
    std::string m_strDevice; // the name to look it up by: "\Device\Silabser<i>"
    CMappedPort m_port;
    // Where the bridge is plugged, such as "1-2.3" (bus 1, hub port 2, its port 3);
    // empty where the system does not say. It stays the same while the bridge stays
    // plugged, however others come and go.
    std::string m_strLocation;
    // What changes each time the bridge is plugged in again, even at the same place
    // ("1:17", the bus and device number Linux gave it; the map entry's target); empty
    // where the system does not say.
    std::string m_strInstance;
};

// What names a plugged bridge across looks: its USB location where the system gives
// one, else its port's name (a COM port keeps its name), else its device name.
std::string BridgeIdentity(const CBridgePort& bridge);

// The port of a driver device name such as "\Device\Silabser0", or nothing when the
// map does not hold it.
std::optional<CMappedPort> LookupSerialPort(const std::string& driverDevice);

// Every bridge the map holds now, in ascending order of its index; a gap in the
// indices is a bridge that has gone.
std::vector<CBridgePort> ListBridgePorts();

// The i of "Silabser<i>" (at most three digits), or nothing for any other name.
std::optional<int> ParseBridgeIndex(const std::string& entry);
// "\Device\Silabser<i>".
std::string BridgeDeviceName(int index);

} // namespace corvalin::platform
