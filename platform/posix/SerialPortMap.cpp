#include "platform/SerialPortMap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvalin::platform
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kDevicePrefix = "\\Device\\";
constexpr const char* kCp210xDriverDir = "/sys/bus/usb-serial/drivers/cp210x";
constexpr std::string_view kUsbTtyName = "ttyUSB";

// "/dev/pts/7" is shown as "pts/7", "/dev/ttyUSB0" as "ttyUSB0".
std::string ShownName(const fs::path& device)
{
    std::string text = device.string();
    constexpr std::string_view dev = "/dev/";
    if (text.compare(0, dev.size(), dev) == 0)
        return text.substr(dev.size());
    return device.filename().string();
}

std::optional<CMappedPort> LookupInDirectory(const fs::path& directory, const std::string& entry)
{
    std::error_code error;
    fs::path link = directory / entry;
    if (!fs::exists(link, error))
        return std::nullopt;
    fs::path target = fs::is_symlink(link, error) ? fs::canonical(link, error) : link;
    if (error)
        return std::nullopt;
    return CMappedPort{target.string(), ShownName(target)};
}

// The n of each ttyUSB<n> bound to the cp210x driver, in ascending order.
std::vector<int> BoundUsbTtys()
{
    std::vector<int> numbers;
    std::error_code error;
    for (fs::directory_iterator it(kCp210xDriverDir, error), end; !error && it != end; it.increment(error))
    {
        std::string name = it->path().filename().string();
        if (name.compare(0, kUsbTtyName.size(), kUsbTtyName) != 0 || name.size() == kUsbTtyName.size())
            continue;
        std::string_view digits = std::string_view(name).substr(kUsbTtyName.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > 6)
            continue;
        numbers.push_back(std::atoi(std::string(digits).c_str()));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
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

std::optional<CMappedPort> UsbTtyPort(const std::vector<int>& ttys, int index)
{
    if (index < 0 || std::size_t(index) >= ttys.size())
        return std::nullopt;
    fs::path device = "/dev/" + std::string(kUsbTtyName) + std::to_string(ttys[std::size_t(index)]);
    return CMappedPort{device.string(), ShownName(device)};
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
    return UsbTtyPort(BoundUsbTtys(), *index);
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
            if (std::optional<CMappedPort> port = LookupInDirectory(*mapDir, entry))
                bridges.push_back(CBridgePort{*index, std::string(kDevicePrefix) + entry, *port});
        }
        std::sort(bridges.begin(), bridges.end(),
                  [](const CBridgePort& a, const CBridgePort& b) { return a.m_nIndex < b.m_nIndex; });
        return bridges;
    }

    std::vector<int> ttys = BoundUsbTtys();
    for (std::size_t i = 0; i < ttys.size(); ++i)
    {
        int index = int(i);
        bridges.push_back(CBridgePort{index, BridgeDeviceName(index), *UsbTtyPort(ttys, index)});
    }
    return bridges;
}

} // namespace corvalin::platform
