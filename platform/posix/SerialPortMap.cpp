#include "platform/SerialPortMap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvalin::platform
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kDevicePrefix = "\\Device\\";
constexpr const char* kCp210xDriverDir = "sys/bus/usb-serial/drivers/cp210x";
constexpr std::string_view kUsbTtyName = "ttyUSB";
constexpr std::size_t kMaxTtyDigits = 6;

// "/dev/pts/7" is shown as "pts/7", "/dev/ttyUSB0" as "ttyUSB0".
std::string ShownName(const fs::path& device)
{
    std::string text = device.string();
    constexpr std::string_view dev = "/dev/";
    if (text.compare(0, dev.size(), dev) == 0)
        return text.substr(dev.size());
    return device.filename().string();
}

std::optional<CMappedPort> LookupInDirectory(const fs::path& directory, const std::string& entry,
                                             std::string* target = nullptr)
{
    std::error_code error;
    fs::path link = directory / entry;
    if (!fs::exists(link, error))
        return std::nullopt;
    fs::path resolved = fs::is_symlink(link, error) ? fs::canonical(link, error) : link;
    if (error)
        return std::nullopt;
    if (target)
        *target = resolved.string();
    return CMappedPort{resolved.string(), ShownName(resolved)};
}

// "/" or the folder CORVALIN_SYSTEM_ROOT names.
fs::path SystemRoot()
{
    const char* root = std::getenv(kSystemRootVariable);
    return root && *root ? fs::path(root) : fs::path("/");
}

// The first line of a small sysfs attribute file, or "" when it cannot be read.
std::string ReadAttribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Whether `name` is a USB device's name in sysfs: "1-2", "1-2.3", "3-10.4.1".
bool IsUsbDeviceName(const std::string& name)
{
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == name.size())
        return false;
    bool lastWasDigit = false;
    for (std::size_t i = 0; i < name.size(); ++i)
    {
        const char c = name[i];
        if (c >= '0' && c <= '9')
            lastWasDigit = true;
        else if ((c == '.' && i > dash) || i == dash)
        {
            if (!lastWasDigit)
                return false;
            lastWasDigit = false;
        }
        else
            return false;
    }
    return lastWasDigit;
}

// One cp210x ttyUSB<n> and the USB device it belongs to.
struct CUsbTty
{
    int m_nNumber = 0;
    std::string m_strLocation; // the USB device's sysfs name, "1-2.3"
    std::string m_strInstance; // "busnum:devnum", new at each enumeration
};

// The USB device of a tty in sysfs: the tty's folder lies in an interface folder
// ("1-2.3:1.0") inside the device's folder ("1-2.3"), which holds busnum and devnum.
void FindUsbDevice(const fs::path& ttyLink, CUsbTty& tty)
{
    std::error_code error;
    const fs::path ttyDir = fs::canonical(ttyLink, error);
    if (error)
        return;
    const fs::path deviceDir = ttyDir.parent_path().parent_path();
    const std::string name = deviceDir.filename().string();
    if (!IsUsbDeviceName(name) || ttyDir.parent_path().filename().string().rfind(name + ":", 0) != 0)
        return;
    tty.m_strLocation = name;
    const std::string bus = ReadAttribute(deviceDir / "busnum");
    const std::string device = ReadAttribute(deviceDir / "devnum");
    if (!bus.empty() && !device.empty())
        tty.m_strInstance = bus + ":" + device;
}

// Each ttyUSB<n> bound to the cp210x driver, in ascending order of n.
std::vector<CUsbTty> BoundUsbTtys(const fs::path& root)
{
    std::vector<CUsbTty> ttys;
    std::error_code error;
    for (fs::directory_iterator it(root / kCp210xDriverDir, error), end; !error && it != end;
         it.increment(error))
    {
        std::string name = it->path().filename().string();
        if (name.compare(0, kUsbTtyName.size(), kUsbTtyName) != 0 || name.size() == kUsbTtyName.size())
            continue;
        std::string_view digits = std::string_view(name).substr(kUsbTtyName.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > kMaxTtyDigits)
            continue;
        CUsbTty tty;
        tty.m_nNumber = std::atoi(std::string(digits).c_str());
        FindUsbDevice(it->path(), tty);
        ttys.push_back(tty);
    }
    std::sort(ttys.begin(), ttys.end(),
              [](const CUsbTty& a, const CUsbTty& b) { return a.m_nNumber < b.m_nNumber; });
    return ttys;
}

// The map directory CORVALIN_SERIAL_MAP names, when it names one.
std::optional<fs::path> MapDirectory()
{
    const char* mapDir = std::getenv(kSerialMapVariable);
    std::error_code error;
    if (!mapDir || !*mapDir || !fs::is_directory(mapDir, error))
        return std::nullopt;
    return fs::path(mapDir);
}

// The device node of ttyUSB<n> under the system root; shown by its own name.
CMappedPort UsbTtyPort(const fs::path& root, const CUsbTty& tty)
{
    const std::string name = std::string(kUsbTtyName) + std::to_string(tty.m_nNumber);
    return CMappedPort{(root / "dev" / name).string(), name};
}

} // namespace

std::optional<CMappedPort> LookupSerialPort(const std::string& driverDevice)
{
    if (driverDevice.compare(0, kDevicePrefix.size(), kDevicePrefix) != 0)
        return std::nullopt;
    std::string entry = driverDevice.substr(kDevicePrefix.size());

    if (std::optional<fs::path> mapDir = MapDirectory())
        return LookupInDirectory(*mapDir, entry);

    std::optional<int> index = ParseBridgeIndex(entry);
    if (!index)
        return std::nullopt;
    const fs::path root = SystemRoot();
    const std::vector<CUsbTty> ttys = BoundUsbTtys(root);
    if (std::size_t(*index) >= ttys.size())
        return std::nullopt;
    return UsbTtyPort(root, ttys[std::size_t(*index)]);
}

std::vector<CBridgePort> ListBridgePorts()
{
    std::vector<CBridgePort> bridges;
    if (std::optional<fs::path> mapDir = MapDirectory())
    {
        std::error_code error;
        for (fs::directory_iterator it(*mapDir, error), end; !error && it != end; it.increment(error))
        {
            std::string entry = it->path().filename().string();
            std::optional<int> index = ParseBridgeIndex(entry);
            if (!index)
                continue;
            std::string target;
            if (std::optional<CMappedPort> port = LookupInDirectory(*mapDir, entry, &target))
                bridges.push_back(CBridgePort{*index, std::string(kDevicePrefix) + entry, *port, {}, target});
        }
        std::sort(bridges.begin(), bridges.end(),
                  [](const CBridgePort& a, const CBridgePort& b) { return a.m_nIndex < b.m_nIndex; });
        return bridges;
    }

    const fs::path root = SystemRoot();
    const std::vector<CUsbTty> ttys = BoundUsbTtys(root);
    for (std::size_t i = 0; i < ttys.size(); ++i)
    {
        const int index = int(i);
        bridges.push_back(CBridgePort{index, BridgeDeviceName(index), UsbTtyPort(root, ttys[i]),
                                      ttys[i].m_strLocation, ttys[i].m_strInstance});
    }
    return bridges;
}

} // namespace corvalin::platform
